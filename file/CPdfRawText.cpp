#include "file/CPdfRawText.h"

#include <unistd.h>

#include <cstring>

namespace CPdfRawText {

size_t FindPattern(const char* text, size_t from, size_t length, const char* pattern,
                   size_t patternLength) {
    if (patternLength == 0 || length < patternLength || from > length - patternLength) return 0;
    const char* begin = text + from;
    const char* end = text + length;
    const char* hit = static_cast<const char*>(
        memmem(begin, static_cast<size_t>(end - begin), pattern, patternLength));
    return hit ? static_cast<size_t>(hit - text) + patternLength - 1 : 0;
}

int64_t FindPatternInFile(FILE* file, int64_t from, const char* pattern, size_t patternLength) {
    constexpr size_t kChunk = 65536;
    std::string chunk(kChunk, '\0');
    int64_t position = from;
    for (;;) {
        ssize_t got = pread(fileno(file), &chunk[0], kChunk, position);
        if (got <= 0) return 0;
        size_t hit = FindPattern(chunk.data(), 0, static_cast<size_t>(got), pattern, patternLength);
        if (hit != 0) return position + static_cast<int64_t>(hit);
        if (static_cast<size_t>(got) < kChunk) return 0;
        // Consecutive chunks overlap by the pattern's length, so that a match across a
        // chunk boundary is found whole in the next chunk.
        position += static_cast<int64_t>(kChunk - patternLength);
    }
}

std::string ReadAt(FILE* file, int64_t position, size_t count) {
    std::string out(count, '\0');
    size_t done = 0;
    while (done < count) {
        ssize_t got =
            pread(fileno(file), &out[done], count - done, position + static_cast<int64_t>(done));
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    out.resize(done);
    return out;
}

}  // namespace CPdfRawText
