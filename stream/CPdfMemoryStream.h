#pragma once

#include <memory>
#include <string>

#include "stream/CPdfStream.h"

// A stream over bytes held in memory (for example the decoded data of an object stream).
// It shares the bytes and delivers the range [begin, end) of them.
class CPdfMemoryStream : public CPdfStream {
public:
    CPdfMemoryStream(std::shared_ptr<const std::string> bytes, size_t begin, size_t end);

    void Reset() override;
    int64_t GetPos() const override;
    int64_t GetLength() const override { return static_cast<int64_t>(end - begin); }

protected:
    bool Fill() override { return false; }

private:
    std::shared_ptr<const std::string> bytes;
    size_t begin;
    size_t end;
};
