#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "stream/CPdfStream.h"

class CPdfReadAhead;

// A buffered window onto the source file. All file streams of a document share one file
// handle; each refill reads at an absolute position (pread), so they may interleave freely.
// The first, small reads of every stream made from one (MakeSubStream) go through one
// read-ahead block, so that objects lying close together cost one read of the file between
// them.
class CPdfFileStream : public CPdfStream {
public:
    // A stream over [start, start + length) of the file; length 0 means up to the end.
    CPdfFileStream(FILE* file, int64_t start, int64_t length);
    CPdfFileStream(FILE* file, int64_t start, int64_t length,
                   std::shared_ptr<CPdfReadAhead> readAhead);
    ~CPdfFileStream() override;

    void Reset() override { SetPos(start, 0); }
    int64_t GetPos() const override { return bufPos + (bufPtr - buf.data()); }
    void SetPos(int64_t offset, int origin) override;
    int64_t GetStart() const override { return start; }
    void MoveStart(int64_t delta) override;
    int64_t GetLength() const override { return length; }
    std::shared_ptr<CPdfStream> MakeSubStream(int64_t subStart, int64_t subLength) override;

    FILE* GetFile() const { return file; }
    // Size of the whole file in bytes.
    int64_t GetFileSize() const;

    // Reads start small (most objects are short) and grow while a stream is read on.
    static constexpr size_t kFirstRead = 512;
    static constexpr size_t kLargestRead = 32768;
    // Reads up to this size are served from the read-ahead block.
    static constexpr size_t kLargestAheadRead = 4096;

protected:
    bool Fill() override;

private:
    FILE* file;
    int64_t start;
    int64_t length;
    int64_t bufPos;
    std::vector<uint8_t> buf;
    std::shared_ptr<CPdfReadAhead> readAhead;
};
