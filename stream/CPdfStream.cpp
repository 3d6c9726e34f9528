#include "stream/CPdfStream.h"

#include <cstring>

#include "CPdfInternalError.h"

size_t CPdfStream::Read(uint8_t* out, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (bufPtr >= bufEnd && !Fill()) break;
        size_t n = std::min(count - done, static_cast<size_t>(bufEnd - bufPtr));
        std::memcpy(out + done, bufPtr, n);
        bufPtr += n;
        done += n;
    }
    return done;
}

int CPdfStream::GetRawChar() {
    throw CPdfInternalError("GetRawChar() called on a stream without a predictor");
}
