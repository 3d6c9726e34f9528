#include "file/CPdfCopySet.h"

#include <algorithm>

#include "CPdfException.h"
#include "CPdfLimits.h"
#include "CPdfMessages.h"
#include "file/CPdfObjectIndex.h"

CPdfCopySet::CPdfCopySet(CPdfObjectIndex& objects, size_t sourceSize, bool keep)
    : index(objects), keepNumbers(keep), entries(sourceSize, 0) {
    // Room for every source object at once: the memory is taken as numbers are given.
    touched.reserve(sourceSize);
    Begin();
}

void CPdfCopySet::Skip(int32_t source) {
    if (source > 0 && static_cast<size_t>(source) < entries.size()) {
        entries[static_cast<size_t>(source)] |= kSkipped;
    }
}

void CPdfCopySet::Begin() {
    for (int32_t n : touched) entries[static_cast<size_t>(n)] &= kSkipped;
    touched.clear();
    queueHead = 0;
    next = keepNumbers ? static_cast<int32_t>(std::max<size_t>(entries.size(), 1)) : 1;
}

int32_t CPdfCopySet::Reserve() {
    if (next >= static_cast<int32_t>(kDropped)) throw CPdfException(CPdfMessages::kCorrupted);
    return next++;
}

void CPdfCopySet::Assign(int32_t source, int32_t value) {
    uint32_t& entry = entries[static_cast<size_t>(source)];
    if ((entry & kNumberBits) == 0) touched.push_back(source);
    entry = (entry & ~kNumberBits) | (value < 0 ? kDropped : static_cast<uint32_t>(value));
}

int32_t CPdfCopySet::Claim(int32_t source) {
    if (source <= 0 || static_cast<size_t>(source) >= entries.size()) return Reserve();
    const int32_t number = Number(static_cast<size_t>(source));
    if (number > 0) return number;
    Assign(source, keepNumbers ? source : Reserve());
    return Number(static_cast<size_t>(source));
}

void CPdfCopySet::Drop(int32_t source) {
    if (source > 0 && static_cast<size_t>(source) < entries.size()) Assign(source, -1);
}

int32_t CPdfCopySet::NumberOf(int32_t source) const {
    if (source <= 0 || static_cast<size_t>(source) >= entries.size()) return 0;
    return Number(static_cast<size_t>(source));
}

int32_t CPdfCopySet::GenerationOf(int32_t source) const {
    if (!keepNumbers || source <= 0 || static_cast<size_t>(source) >= entries.size()) return 0;
    return index.Get(source).generation;
}

bool CPdfCopySet::Map(int32_t& number, int32_t& generation) {
    if (number <= 0 || static_cast<size_t>(number) >= entries.size()) return false;
    const size_t n = static_cast<size_t>(number);
    int32_t out = Number(n);
    if (out == 0) {
        if (entries[n] & kSkipped) return false;
        const CPdfObjectInfo& info = index.Get(number);
        // Objects the source does not hold read as null; pages outside the page tree cannot
        // be placed by readers, and page tree nodes are rebuilt.
        if (!info.present || info.hasPage || info.hasPages || HangsFromPageTree(info)) {
            return false;
        }
        out = keepNumbers ? number : Reserve();
        Assign(number, out);
        entries[n] |= kQueued;
    }
    if (out < 0) return false;
    generation = GenerationOf(number);
    number = out;
    return true;
}

bool CPdfCopySet::HangsFromPageTree(const CPdfObjectInfo& info) const {
    int32_t parent = info.parent;
    for (size_t link = 0; parent > 0 && link < CPdfLimits::kMaxParentChain; ++link) {
        const CPdfObjectInfo above = index.Get(parent);
        if (above.hasPages) return true;
        parent = above.parent;
    }
    return false;
}

bool CPdfCopySet::Next(int32_t& source, int32_t& outNumber) {
    while (queueHead < touched.size()) {
        source = touched[queueHead++];
        if (entries[static_cast<size_t>(source)] & kQueued) {
            outNumber = Number(static_cast<size_t>(source));
            return true;
        }
    }
    return false;
}
