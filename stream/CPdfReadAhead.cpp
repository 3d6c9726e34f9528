#include "stream/CPdfReadAhead.h"

#include <unistd.h>

#include <algorithm>

const char* CPdfReadAhead::Window(int64_t position, size_t want, size_t& got) {
    got = 0;
    if (position < 0 || want > kLargestWindow) return nullptr;
    bool inside = blockStart >= 0 && position >= blockStart &&
                  position - blockStart <= static_cast<int64_t>(blockSize);
    if (inside) {
        size_t offset = static_cast<size_t>(position - blockStart);
        if (blockSize - offset >= want || blockReachesEnd) {
            got = blockSize - offset;
            return block.data() + offset;
        }
    }
    size_t size = std::max(want, kBlockSize);
    if (block.size() < size) block.resize(size);
    // The room a large object took (a long document's page tree root) is given back.
    if (size == kBlockSize && block.size() > 4 * kBlockSize) std::vector<char>(size).swap(block);
    blockStart = -1;
    size_t filled = 0;
    while (filled < size) {
        ssize_t n = pread(fd, block.data() + filled, size - filled,
                          position + static_cast<int64_t>(filled));
        if (n < 0) return nullptr;
        if (n == 0) break;
        filled += static_cast<size_t>(n);
    }
    blockStart = position;
    blockSize = filled;
    blockReachesEnd = filled < size;
    got = filled;
    return block.data();
}
