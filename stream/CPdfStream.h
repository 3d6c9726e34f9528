#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A source of bytes: a window onto the source file, onto another stream, onto bytes in
// memory, or the decoded data of a filter. A byte is delivered as 0..255, the end of the
// data as -1. Streams are shared through std::shared_ptr. A stream knows bytes only: the
// dictionary of a stream object is kept with the value that holds the stream (CPdfObject).
//
// Bytes are served from a window [bufPtr, bufEnd) that each class refills through Fill, so
// reading one byte costs no virtual call in the common case.
class CPdfStream {
public:
    CPdfStream() = default;
    CPdfStream(const CPdfStream&) = delete;
    CPdfStream& operator=(const CPdfStream&) = delete;
    virtual ~CPdfStream() = default;

    // The next byte, consumed; -1 at the end.
    int GetChar() { return bufPtr < bufEnd ? *bufPtr++ : (Fill() ? *bufPtr++ : -1); }
    // The byte that the next GetChar returns, not consumed; -1 at the end.
    int LookChar() { return bufPtr < bufEnd ? *bufPtr : (Fill() ? *bufPtr : -1); }
    // The bytes available without another read: [begin, end) starting at the next byte; false
    // at the end of the data. Consume them with Advance.
    bool Window(const uint8_t*& begin, const uint8_t*& end) {
        if (bufPtr >= bufEnd && !Fill()) return false;
        begin = bufPtr;
        end = bufEnd;
        return true;
    }
    // Consumes the window's bytes up to (not including) to.
    void Advance(const uint8_t* to) { bufPtr = to; }
    // Reads up to count bytes; returns how many were read (fewer only at the end).
    size_t Read(uint8_t* out, size_t count);

    // Returns to the beginning of the data where the class can.
    virtual void Reset() {}
    // After the data has been read to its end: whether it was whole (a decoder met neither
    // corrupt nor truncated data).
    virtual bool Complete() const { return true; }
    // The next undecoded byte of a decoding stream. Throws on any other stream.
    virtual int GetRawChar();
    // Absolute file offset of the next byte.
    virtual int64_t GetPos() const { return 0; }
    // Moves to a file offset; origin 0 start, 1 current position, 2 end of file.
    virtual void SetPos(int64_t /*offset*/, int /*origin*/) {}
    virtual int64_t GetStart() const { return 0; }
    // Moves the beginning of the data by delta bytes and positions there.
    virtual void MoveStart(int64_t /*delta*/) {}
    // Length of the data in bytes; 0 means not limited.
    virtual int64_t GetLength() const { return 0; }
    // A new stream over a byte range of the same file, or nullptr where the class cannot
    // make one.
    virtual std::shared_ptr<CPdfStream> MakeSubStream(int64_t /*start*/, int64_t /*length*/) {
        return nullptr;
    }

protected:
    // Makes [bufPtr, bufEnd) hold the next bytes; false at the end of the data.
    virtual bool Fill() = 0;

    const uint8_t* bufPtr = nullptr;
    const uint8_t* bufEnd = nullptr;
};
