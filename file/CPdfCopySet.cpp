#include "file/CPdfCopySet.h"

#include <limits>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "file/CPdfObjectIndex.h"

CPdfCopySet::CPdfCopySet(CPdfObjectIndex& objects, size_t sourceSize, bool keep)
    : index(objects), keepNumbers(keep), flags(sourceSize, 0), numbers(sourceSize, 0) {
    // Room for every source object at once: the memory is taken as numbers are given.
    touched.reserve(sourceSize);
    Begin();
}

void CPdfCopySet::Skip(int32_t source) {
    if (source > 0 && static_cast<size_t>(source) < flags.size()) {
        flags[static_cast<size_t>(source)] |= flagSkipped;
    }
}

void CPdfCopySet::Begin() {
    for (int32_t n : touched) {
        numbers[static_cast<size_t>(n)] = 0;
        flags[static_cast<size_t>(n)] &= static_cast<uint8_t>(~flagQueued);
    }
    touched.clear();
    queueHead = 0;
    next = keepNumbers ? static_cast<int32_t>(std::max<size_t>(numbers.size(), 1)) : 1;
}

int32_t CPdfCopySet::Reserve() {
    if (next == std::numeric_limits<int32_t>::max()) throw CPdfException(CPdfMessages::kCorrupted);
    return next++;
}

void CPdfCopySet::Assign(int32_t source, int32_t value) {
    if (numbers[static_cast<size_t>(source)] == 0) touched.push_back(source);
    numbers[static_cast<size_t>(source)] = value;
}

int32_t CPdfCopySet::Claim(int32_t source) {
    if (source <= 0 || static_cast<size_t>(source) >= numbers.size()) return Reserve();
    int32_t& number = numbers[static_cast<size_t>(source)];
    if (number > 0) return number;
    Assign(source, keepNumbers ? source : Reserve());
    return number;
}

void CPdfCopySet::Drop(int32_t source) {
    if (source > 0 && static_cast<size_t>(source) < numbers.size()) Assign(source, -1);
}

int32_t CPdfCopySet::NumberOf(int32_t source) const {
    if (source <= 0 || static_cast<size_t>(source) >= numbers.size()) return 0;
    return numbers[static_cast<size_t>(source)];
}

int32_t CPdfCopySet::GenerationOf(int32_t source) const {
    if (!keepNumbers || source <= 0 || static_cast<size_t>(source) >= numbers.size()) return 0;
    return index.Get(source).generation;
}

bool CPdfCopySet::Map(int32_t& number, int32_t& generation) {
    if (number <= 0 || static_cast<size_t>(number) >= numbers.size()) return false;
    const size_t n = static_cast<size_t>(number);
    int32_t out = numbers[n];
    if (out == 0) {
        if (flags[n] & flagSkipped) return false;
        const CPdfObjectInfo& info = index.Get(number);
        // Objects the source does not hold read as null; pages outside the page tree cannot
        // be placed by readers, and page tree nodes are rebuilt.
        if (!info.present || info.hasPage || info.hasPages) return false;
        out = keepNumbers ? number : Reserve();
        Assign(number, out);
        flags[n] |= flagQueued;
    }
    if (out < 0) return false;
    generation = GenerationOf(number);
    number = out;
    return true;
}

bool CPdfCopySet::Next(int32_t& source, int32_t& outNumber) {
    while (queueHead < touched.size()) {
        source = touched[queueHead++];
        if (flags[static_cast<size_t>(source)] & flagQueued) {
            outNumber = numbers[static_cast<size_t>(source)];
            return true;
        }
    }
    return false;
}
