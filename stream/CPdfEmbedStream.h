#pragma once

#include "stream/CPdfStream.h"

// A window onto whatever another stream delivers next, optionally limited to a byte count.
// It holds no reference to its source: the creator keeps the source alive meanwhile.
class CPdfEmbedStream : public CPdfStream {
public:
    CPdfEmbedStream(CPdfStream* from, bool bounded, int64_t length)
        : source(from), limited(bounded), remaining(length) {}

    // The source's position, less what this stream has taken from it but not yet delivered.
    int64_t GetPos() const override { return source->GetPos() - (bufEnd - bufPtr); }

protected:
    bool Fill() override;

private:
    CPdfStream* source;
    bool limited;
    int64_t remaining;
    uint8_t buf[1024];
};
