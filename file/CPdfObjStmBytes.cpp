#include "file/CPdfObjStmBytes.h"

#include <algorithm>

#include "file/CPdfXRef.h"
#include "object/CPdfCompactor.h"
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
    const CPdfDictionary* dict = object.GetDict();
    if (!dict) return;
    CPdfObject n = dict->GetResolved("N");
    CPdfObject first = dict->GetResolved("First");
    if (n.kind != kindInteger || n.intValue <= 0 || n.intValue > kMaxObjects) return;
    if (first.kind != kindInteger || first.intValue < 0 ||
        static_cast<uint64_t>(first.intValue) > kMaxDecodedBytes) {
        return;
    }
    // Each header pair takes at least four bytes, which bounds N by the header's size.
    size_t firstPos = static_cast<size_t>(first.intValue);
    if (static_cast<uint64_t>(n.intValue) > firstPos / 2 + 1) return;

    std::string headerBytes;
    uint8_t chunk[16384];
    size_t got = 0;
    while (headerBytes.size() < firstPos && (got = stream.Read(chunk, sizeof chunk)) > 0) {
        headerBytes.append(reinterpret_cast<const char*>(chunk), got);
    }
    if (headerBytes.size() < firstPos) return;
    std::string rest = headerBytes.substr(firstPos);
    headerBytes.resize(firstPos);
    if (ReadHeader(headerBytes, n.intValue)) LoadObjects(stream, rest);
    // An unusable stream holds no object.
    if (begins.empty()) numbers.clear();
    std::vector<uint64_t>().swap(offsets);  // only needed while loading
}

bool CPdfObjStmBytes::ReadHeader(const std::string& header, int64_t count) {
    CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(
                                   std::make_shared<const std::string>(header), 0, header.size()));
    for (int64_t k = 0; k < count; ++k) {
        CPdfObject num = parser.ParseObject();
        CPdfObject off = parser.ParseObject();
        if (num.kind != kindInteger || off.kind != kindInteger || num.intValue < 0 ||
            num.intValue > INT32_MAX || off.intValue < 0 || off.intValue > INT64_MAX / 2) {
            return false;  // a malformed header: no object of this stream is found
        }
        numbers.push_back(static_cast<int32_t>(num.intValue));
        offsets.push_back(static_cast<uint64_t>(off.intValue));
    }
    return true;
}

void CPdfObjStmBytes::LoadObjects(CPdfStream& stream, const std::string& head) {
    // Each object runs from its offset to the next larger one (or the end of the data),
    // whatever order the header lists them in.
    std::vector<uint64_t> starts = offsets;
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    std::vector<size_t> compactBegin(starts.size()), compactEnd(starts.size());
    auto bytes = std::make_shared<std::string>();
    CPdfCompactor compact(*bytes);
    size_t next = 0;  // the next object start to meet
    uint64_t position = 0;
    auto add = [&](const char* p, size_t size) {
        while (size > 0) {
            while (next < starts.size() && starts[next] == position) {
                compact.EndValue();
                if (next > 0) compactEnd[next - 1] = bytes->size();
                compactBegin[next++] = bytes->size();
            }
            // The bytes up to the next object's start belong to the current object.
            uint64_t room = next < starts.size() ? starts[next] - position : UINT64_MAX;
            size_t take = static_cast<size_t>(std::min<uint64_t>(room, size));
            if (next > 0) compact.Add(p, take);
            p += take;
            size -= take;
            position += take;
        }
        return bytes->size() + compact.Held() <= kMaxDecodedBytes && position <= kMaxRawBytes;
    };
    if (!add(head.data(), head.size())) return;
    uint8_t chunk[16384];
    size_t got = 0;
    while ((got = stream.Read(chunk, sizeof chunk)) > 0) {
        if (!add(reinterpret_cast<const char*>(chunk), got)) return;
    }
    if (next < starts.size()) return;  // an offset beyond the data
    compact.EndValue();
    compactEnd.back() = bytes->size();
    begins.resize(offsets.size());
    ends.resize(offsets.size());
    for (size_t k = 0; k < offsets.size(); ++k) {
        size_t at = static_cast<size_t>(std::lower_bound(starts.begin(), starts.end(), offsets[k]) -
                                        starts.begin());
        begins[k] = static_cast<uint32_t>(compactBegin[at]);
        ends[k] = static_cast<uint32_t>(compactEnd[at]);
    }
    bytes->shrink_to_fit();  // kept for reuse: the room the appending took is given back
    data = std::move(bytes);
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
