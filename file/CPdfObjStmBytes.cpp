#include "file/CPdfObjStmBytes.h"

#include <algorithm>

#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfParser.h"
#include "stream/CPdfMemoryStream.h"
#include "stream/CPdfStream.h"

CPdfObjStmBytes::CPdfObjStmBytes(CPdfXRef& xref, int32_t streamNumber)
    : streamNum(streamNumber), data(std::make_shared<const std::string>()) {
    Load(xref);
}

void CPdfObjStmBytes::Load(CPdfXRef& xref) {
    CPdfObject object = xref.Fetch(streamNum, 0);
    if (object.kind != kindStream) return;
    CPdfStream& stream = *object.streamValue;
    const CPdfDictionary* dict = stream.GetDict();
    if (!dict) return;
    CPdfObject n = dict->GetResolved("N");
    CPdfObject first = dict->GetResolved("First");
    if (n.kind != kindInteger || n.intValue <= 0 || n.intValue > kMaxObjects) return;
    if (first.kind != kindInteger || first.intValue < 0) return;

    auto bytes = std::make_shared<std::string>();
    uint8_t chunk[16384];
    for (;;) {
        size_t got = stream.Read(chunk, sizeof chunk);
        if (got == 0) break;
        if (bytes->size() + got > kMaxDecodedBytes) return;
        bytes->append(reinterpret_cast<const char*>(chunk), got);
    }
    size_t firstPos = static_cast<size_t>(first.intValue);
    if (firstPos > bytes->size()) return;
    // Each header pair takes at least four bytes, which bounds N by the data at hand.
    if (static_cast<uint64_t>(n.intValue) > firstPos / 2 + 1) return;
    data = bytes;

    CPdfParser header(nullptr, std::make_shared<CPdfMemoryStream>(data, 0, firstPos));
    std::vector<int32_t> nums;
    std::vector<size_t> starts;
    for (int64_t k = 0; k < n.intValue; ++k) {
        CPdfObject num = header.ParseObject();
        CPdfObject off = header.ParseObject();
        if (num.kind != kindInteger || off.kind != kindInteger || num.intValue < 0 ||
            num.intValue > INT32_MAX || off.intValue < 0 ||
            static_cast<uint64_t>(off.intValue) > bytes->size() - firstPos) {
            return;  // a malformed header: no object of this stream is found
        }
        nums.push_back(static_cast<int32_t>(num.intValue));
        starts.push_back(firstPos + static_cast<size_t>(off.intValue));
    }
    // Each object runs to the next larger offset (or the end of the data), whatever order
    // the header lists them in.
    std::vector<size_t> sorted = starts;
    std::sort(sorted.begin(), sorted.end());
    numbers = nums;
    begins = starts;
    ends.resize(starts.size());
    for (size_t k = 0; k < starts.size(); ++k) {
        auto next = std::upper_bound(sorted.begin(), sorted.end(), starts[k]);
        ends[k] = next == sorted.end() ? bytes->size() : *next;
    }
}

bool CPdfObjStmBytes::Find(int32_t number, int32_t index, size_t& begin, size_t& end) const {
    size_t k = static_cast<size_t>(index);
    if (index < 0 || k >= numbers.size() || numbers[k] != number) {
        // The index in the cross-reference data is wrong: the header still says where the
        // object is.
        auto it = std::find(numbers.begin(), numbers.end(), number);
        if (it == numbers.end()) return false;
        k = static_cast<size_t>(it - numbers.begin());
    }
    begin = begins[k];
    end = ends[k];
    return true;
}
