#include "stream/CPdfDeflater.h"

#include "CPdfException.h"
#include "CPdfInternalError.h"
#include "CPdfMessages.h"

CPdfDeflater::CPdfDeflater() {
    if (deflateInit(&zstream, Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw CPdfException(CPdfMessages::kUnexpected);
    }
}

CPdfDeflater::~CPdfDeflater() {
    deflateEnd(&zstream);
}

void CPdfDeflater::Run(const char* data, size_t size, int flush) {
    zstream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zstream.avail_in = static_cast<uInt>(size);
    char chunk[16384];
    do {
        zstream.next_out = reinterpret_cast<Bytef*>(chunk);
        zstream.avail_out = sizeof chunk;
        const int rc = deflate(&zstream, flush);
        if (rc == Z_STREAM_ERROR)
            throw CPdfInternalError("deflate() found its stream state broken");
        out.append(chunk, sizeof chunk - zstream.avail_out);
    } while (zstream.avail_out == 0 || zstream.avail_in > 0);
}

std::string CPdfDeflater::Finish() {
    Run(nullptr, 0, Z_FINISH);
    return std::move(out);
}
