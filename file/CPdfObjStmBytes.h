#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CPdfLimits.h"

class CPdfStream;
class CPdfXRef;

// The decoded content of one object stream: its objects' bytes, and for each of its objects
// the number and the byte range that holds it. The bytes are kept compact (CPdfCompactor): the
// white space and comments that no token needs are not stored, so that a stream padded with
// white space costs the memory of what it holds.
class CPdfObjStmBytes {
public:
    // Decodes object stream streamNumber through the table. An unusable stream (not a
    // stream, bad /N or /First, a malformed header, too much data) loads as empty.
    CPdfObjStmBytes(CPdfXRef& xref, int32_t streamNumber);

    // The byte range of object number at index; false when the stream does not hold it there.
    bool Find(int32_t number, int32_t index, size_t& begin, size_t& end) const;

    int32_t streamNum;
    std::shared_ptr<const std::string> data;
    std::vector<int32_t> numbers;
    std::vector<uint32_t> begins;  // positions in data (which kMaxDecodedBytes bounds)
    std::vector<uint32_t> ends;

    // Limits that keep a hostile file from making the reader allocate without bound.
    static constexpr size_t kMaxDecodedBytes = CPdfLimits::kMaxObjStmBytes;
    static constexpr uint64_t kMaxRawBytes = CPdfLimits::kMaxObjStmRawBytes;
    static constexpr int64_t kMaxObjects = CPdfLimits::kMaxObjStmObjects;

private:
    void Load(CPdfXRef& xref);
    // Reads count pairs of number and offset; false for a malformed header.
    bool ReadHeader(const std::string& header, int64_t count);
    // Decodes the objects (head: the bytes already read after the header) into data.
    void LoadObjects(CPdfStream& stream, const std::string& head);

    std::vector<uint64_t> offsets;  // by header position: offset after /First
};
