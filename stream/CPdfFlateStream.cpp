#include "stream/CPdfFlateStream.h"

namespace {
constexpr size_t kInChunk = 16384;
constexpr size_t kOutChunk = 16384;
}  // namespace

CPdfFlateStream::CPdfFlateStream(std::shared_ptr<CPdfStream> src, int64_t predictorCode,
                                 int64_t columns, int64_t colors, int64_t bitsPerComponent)
    : source(std::move(src)) {
    if (predictorCode != 1) {
        predictor =
            std::make_unique<CPdfPredictor>(this, predictorCode, columns, colors, bitsPerComponent);
    }
}

CPdfFlateStream::~CPdfFlateStream() {
    if (started) inflateEnd(&zstream);
}

void CPdfFlateStream::Start() {
    // Buffers and inflate state are set up on first use: many stream objects are parsed
    // without their data ever being read.
    started = true;
    inBuf.resize(kInChunk);
    outBuf.resize(kOutChunk);
    if (inflateInit(&zstream) != Z_OK) finished = true;
}

bool CPdfFlateStream::FillBuffer() {
    if (!started) Start();
    outPos = outEnd = 0;
    while (!finished && outEnd == 0) {
        if (zstream.avail_in == 0) {
            size_t got = source->Read(inBuf.data(), inBuf.size());
            if (got == 0) {
                finished = true;
                break;
            }
            zstream.next_in = inBuf.data();
            zstream.avail_in = static_cast<uInt>(got);
        }
        zstream.next_out = outBuf.data();
        zstream.avail_out = static_cast<uInt>(outBuf.size());
        int rc = inflate(&zstream, Z_NO_FLUSH);
        outEnd = outBuf.size() - zstream.avail_out;
        if (rc == Z_STREAM_END || (rc != Z_OK && rc != Z_BUF_ERROR)) finished = true;
        whole = rc == Z_STREAM_END;
    }
    return outEnd > 0;
}

int CPdfFlateStream::GetRawChar() {
    if (outPos >= outEnd && !FillBuffer()) return -1;
    return outBuf[outPos++];
}

bool CPdfFlateStream::Fill() {
    if (predictor) {
        if (!predictor->ReadRow()) return false;
        bufPtr = predictor->RowBegin();
        bufEnd = predictor->RowEnd();
        return bufPtr < bufEnd;
    }
    if (outPos >= outEnd && !FillBuffer()) return false;
    bufPtr = outBuf.data() + outPos;
    bufEnd = outBuf.data() + outEnd;
    outPos = outEnd;
    return true;
}
