#include "stream/CPdfDeflate.h"

#include <zlib.h>

#include "CPdfException.h"

std::string CPdfDeflate::Compress(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&out[0]), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw CPdfException("Unexpected exception");
    }
    out.resize(size);
    return out;
}
