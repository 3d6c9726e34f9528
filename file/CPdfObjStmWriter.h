#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CPdfLimits.h"

// The objects of one object stream of an output, gathered until it is written: their numbers
// and value texts, from which it makes the stream's decoded data (the header of number and
// offset pairs, then the values).
class CPdfObjStmWriter {
public:
    // Adds the value text of object number (compact, as it is to be read back).
    void Add(int32_t number, const std::string& value);
    // Whether the stream holds as many objects or bytes as one stream should.
    bool Full() const { return numbers.size() >= kMaxObjects || values.size() >= kMaxBytes; }
    bool Empty() const { return numbers.empty(); }
    // The numbers of the objects, in the order of the stream (their indexes).
    const std::vector<int32_t>& Numbers() const { return numbers; }
    // The decoded data; first is set to the length of the header (/First).
    std::string Data(size_t& first) const;
    // Forgets every object, for the next stream.
    void Clear();

    // How many objects and value bytes a stream takes: enough that the objects compress
    // together, few enough that a reader decodes little to reach one of them.
    static constexpr size_t kMaxObjects = CPdfLimits::kOutputObjStmObjects;
    static constexpr size_t kMaxBytes = CPdfLimits::kOutputObjStmBytes;
    // Values longer than this are not packed at all.
    static constexpr size_t kMaxValueBytes = 4 * kMaxBytes;

private:
    std::vector<int32_t> numbers;
    std::vector<size_t> offsets;  // in values
    std::string values;
};
