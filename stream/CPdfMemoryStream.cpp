#include "stream/CPdfMemoryStream.h"

#include <algorithm>

CPdfMemoryStream::CPdfMemoryStream(std::shared_ptr<const std::string> data, size_t b, size_t e)
    : bytes(std::move(data)),
      begin(std::min(b, bytes->size())),
      end(std::max(begin, std::min(e, bytes->size()))) {
    Reset();
}

void CPdfMemoryStream::Reset() {
    const uint8_t* base = reinterpret_cast<const uint8_t*>(bytes->data());
    bufPtr = base + begin;
    bufEnd = base + end;
}

int64_t CPdfMemoryStream::GetPos() const {
    return bufPtr - reinterpret_cast<const uint8_t*>(bytes->data());
}
