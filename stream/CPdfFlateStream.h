#pragma once

#include <zlib.h>

#include <memory>
#include <vector>

#include "stream/CPdfPredictor.h"
#include "stream/CPdfStream.h"

// Inflates zlib-wrapped Flate data from a source stream, on demand, and undoes a predictor
// where one is asked for. The data can be read once, from the beginning; corrupt or
// truncated data ends it early, without a message.
class CPdfFlateStream : public CPdfStream {
public:
    CPdfFlateStream(std::shared_ptr<CPdfStream> source, int64_t predictor, int64_t columns,
                    int64_t colors, int64_t bitsPerComponent);
    ~CPdfFlateStream() override;

    int GetRawChar() override;
    int64_t GetPos() const override { return source->GetPos(); }
    int64_t GetStart() const override { return source->GetStart(); }
    int64_t GetLength() const override { return source->GetLength(); }
    bool Complete() const override { return whole && source->Complete(); }

protected:
    bool Fill() override;

private:
    // Inflates more bytes into outBuf; false at the end of the data.
    bool FillBuffer();
    void Start();

    std::shared_ptr<CPdfStream> source;
    std::unique_ptr<CPdfPredictor> predictor;
    z_stream zstream{};
    bool started = false;
    bool finished = false;
    bool whole = false;  // the zlib data ended where it says it ends
    std::vector<uint8_t> inBuf;
    std::vector<uint8_t> outBuf;
    size_t outPos = 0;
    size_t outEnd = 0;
};
