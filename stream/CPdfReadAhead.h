#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads small pieces of a file at scattered positions through one block that is read ahead,
// so that objects lying close together (the pages of a document, as a rule) cost one read
// between them instead of one each.
class CPdfReadAhead {
public:
    explicit CPdfReadAhead(int descriptor) : fd(descriptor) {}

    // Points at the file's bytes from position on: at least want bytes of them (at most
    // kLargestWindow), or as many as the file has. Sets got to the count available (0 at or
    // past the end, or on a read error). The bytes stay valid until the next call.
    const char* Window(int64_t position, size_t want, size_t& got);

    static constexpr size_t kBlockSize = size_t{16} * 1024;
    static constexpr size_t kLargestWindow = size_t{4} << 20;

private:
    int fd;
    std::vector<char> block;
    int64_t blockStart = -1;
    size_t blockSize = 0;
    bool blockReachesEnd = false;
};
