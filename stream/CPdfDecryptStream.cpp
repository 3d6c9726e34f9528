#include "stream/CPdfDecryptStream.h"

namespace {
constexpr size_t kChunk = 16384;
}  // namespace

CPdfDecryptStream::CPdfDecryptStream(std::shared_ptr<CPdfStream> s, CPdfCipher::Algorithm a,
                                     std::string k)
    : source(std::move(s)), algorithm(a), key(std::move(k)) {}

bool CPdfDecryptStream::Start() {
    std::string iv;
    if (algorithm != CPdfCipher::rc4) {
        iv.resize(16);
        if (source->Read(reinterpret_cast<uint8_t*>(&iv[0]), 16) != 16) return false;
    }
    cipher = std::make_unique<CPdfCipher>(algorithm, key, iv, false, CPdfCipher::pdfPadding);
    return true;
}

bool CPdfDecryptStream::Fill() {
    if (finished) return false;
    if (!cipher && !Start()) {
        finished = true;
        return false;
    }
    uint8_t chunk[kChunk];
    out.clear();
    // AES gives nothing back until a block is complete: read on until bytes come out.
    while (out.empty()) {
        size_t got = source->Read(chunk, sizeof chunk);
        if (got == 0) {
            finished = true;
            cipher->Finish(out);
            break;
        }
        cipher->Update(chunk, got, out);
    }
    bufPtr = reinterpret_cast<const uint8_t*>(out.data());
    bufEnd = bufPtr + out.size();
    return !out.empty();
}
