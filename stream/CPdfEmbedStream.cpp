#include "stream/CPdfEmbedStream.h"

bool CPdfEmbedStream::Fill() {
    size_t want = sizeof buf;
    if (limited && remaining >= 0) {
        if (remaining == 0) return false;
        if (static_cast<uint64_t>(remaining) < want) want = static_cast<size_t>(remaining);
    }
    // Never take more than the limit from the source, so that a following window over the
    // same source starts exactly where this one ends once this one has been read through.
    size_t got = source->Read(buf, want);
    if (got == 0) return false;
    if (limited && remaining > 0) remaining -= static_cast<int64_t>(got);
    bufPtr = buf;
    bufEnd = buf + got;
    return true;
}
