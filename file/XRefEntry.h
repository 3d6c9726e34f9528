#pragma once

#include <cstdint>

// One entry of the source's cross-reference table, in eight bytes (a long document's table has
// an entry per object, all held at once). Type 0: free or not defined; type 1: the object's
// "N G obj" header is at offset (counted from the "%PDF-" header) with generation; type 2: the
// object is number generation (its index) of the object stream numbered offset. An offset of -1
// marks an entry that no section has defined yet, -2 one defined without a usable position; an
// object found before the header (which lies within the file's first kilobyte) has an offset
// below 0.
class XRefEntry {
public:
    // Largest offset (or object stream number) an entry holds: past the end of any file the
    // program reads.
    static constexpr int64_t kMaxOffset = (int64_t(1) << 39) - 1;
    static constexpr int64_t kMinOffset = -1024;
    // Generations (and indexes in an object stream) an entry holds.
    static constexpr int32_t kMinGeneration = -(1 << 20);
    static constexpr int32_t kMaxGeneration = (1 << 20) - 1;

    XRefEntry() = default;
    // offset must be within kMinOffset .. kMaxOffset, generation within kMinGeneration ..
    // kMaxGeneration, type 0, 1 or 2 (the caller checks).
    XRefEntry(int64_t offset, int32_t generation, int type)
        : bits(static_cast<uint64_t>(offset + kOffsetBias) << 24 |
               static_cast<uint64_t>(generation - kMinGeneration) << 3 |
               static_cast<uint64_t>(type)) {}

    int64_t Offset() const { return static_cast<int64_t>(bits >> 24) - kOffsetBias; }
    int32_t Generation() const {
        return static_cast<int32_t>((bits >> 3) & 0x1FFFFF) + kMinGeneration;
    }
    int Type() const { return static_cast<int>(bits & 7); }

private:
    static constexpr int64_t kOffsetBias = -kMinOffset;
    // The offset less kMinOffset (40 bits), the generation less kMinGeneration (21 bits), the type.
    uint64_t bits =
        static_cast<uint64_t>(-1 + kOffsetBias) << 24 | static_cast<uint64_t>(-kMinGeneration) << 3;
};

static_assert(sizeof(XRefEntry) == 8, "an entry of the table takes eight bytes");
