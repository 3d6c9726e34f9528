#pragma once

#include <cstdint>

// One entry of an output file's object table, in eight bytes: free (type 0), an object written
// at a file offset with its generation (type 1), or an object stored in an object stream (type
// 2: the stream's number and the object's index in it).
class ObjectEntry {
public:
    // Largest offset (and stream number) an entry holds: 64 TiB.
    static constexpr int64_t kMaxOffset = (int64_t(1) << 46) - 1;

    ObjectEntry() = default;
    // An entry of type 1 or 2; offset must be within 0 .. kMaxOffset (the caller checks), the
    // generation or index is kept modulo 65536.
    ObjectEntry(int type, int64_t offset, int32_t generation)
        : bits(static_cast<uint64_t>(type) << 62 | static_cast<uint64_t>(offset) << 16 |
               static_cast<uint16_t>(generation)) {}

    int Type() const { return static_cast<int>(bits >> 62); }
    // The offset, or the object stream's number; 0 for a free entry.
    int64_t Offset() const { return static_cast<int64_t>((bits >> 16) & kMaxOffset); }
    // The generation, or the index in the object stream.
    int32_t Generation() const { return static_cast<int32_t>(bits & 0xFFFF); }

private:
    uint64_t bits = 0;
};
