#include "stream/CPdfFileStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "stream/CPdfReadAhead.h"

CPdfFileStream::CPdfFileStream(FILE* f, int64_t s, int64_t l)
    : CPdfFileStream(f, s, l, std::make_shared<CPdfReadAhead>(fileno(f))) {}

CPdfFileStream::CPdfFileStream(FILE* f, int64_t s, int64_t l, std::shared_ptr<CPdfReadAhead> ahead)
    : file(f), start(s), length(l), bufPos(s), readAhead(std::move(ahead)) {
    SetPos(start, 0);
}

CPdfFileStream::~CPdfFileStream() = default;

int64_t CPdfFileStream::GetFileSize() const {
    struct stat st;
    if (fstat(fileno(file), &st) != 0) return 0;
    return st.st_size;
}

void CPdfFileStream::SetPos(int64_t offset, int origin) {
    int64_t target = offset;
    if (origin == 1) target = GetPos() + offset;
    if (origin == 2) target = GetFileSize() + offset;
    if (target < 0) target = 0;
    bufPos = target;
    bufPtr = bufEnd = buf.data();
}

void CPdfFileStream::MoveStart(int64_t delta) {
    start += delta;
    bufPos = start;
    bufPtr = bufEnd = buf.data();
}

std::shared_ptr<CPdfStream> CPdfFileStream::MakeSubStream(int64_t subStart, int64_t subLength) {
    return std::make_shared<CPdfFileStream>(file, subStart, subLength, readAhead);
}

bool CPdfFileStream::Fill() {
    bufPos += bufEnd - buf.data();
    size_t size = buf.empty() ? kFirstRead : std::min(buf.size() * 2, kLargestRead);
    if (size != buf.size()) buf.resize(size);
    bufPtr = bufEnd = buf.data();
    int64_t count = static_cast<int64_t>(size);
    if (length != 0) {
        int64_t end = start + length;
        if (bufPos >= end) return false;
        if (bufPos + count > end) count = end - bufPos;
    }
    if (bufPos < 0) return false;
    if (static_cast<size_t>(count) <= kLargestAheadRead) {
        size_t got = 0;
        const char* bytes = readAhead->Window(bufPos, static_cast<size_t>(count), got);
        if (got == 0) return false;
        got = std::min(got, static_cast<size_t>(count));
        std::memcpy(buf.data(), bytes, got);
        bufEnd = buf.data() + got;
        return true;
    }
    ssize_t got = pread(fileno(file), buf.data(), static_cast<size_t>(count), bufPos);
    if (got <= 0) return false;
    bufEnd = buf.data() + got;
    return true;
}
