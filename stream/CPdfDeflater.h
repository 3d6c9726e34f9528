#pragma once

#include <zlib.h>

#include <cstddef>
#include <string>

// Flate compression (zlib format) of data given in pieces, for an output stream too long to be
// held whole before it is compressed (the cross-reference stream of a long output).
class CPdfDeflater {
public:
    // Throws "Unexpected exception" when the library cannot start (no memory).
    CPdfDeflater();
    ~CPdfDeflater();
    CPdfDeflater(const CPdfDeflater&) = delete;
    CPdfDeflater& operator=(const CPdfDeflater&) = delete;

    // Compresses the next piece.
    void Add(const std::string& data) { Run(data.data(), data.size(), Z_NO_FLUSH); }
    // Ends the data; returns everything compressed.
    std::string Finish();

private:
    void Run(const char* data, size_t size, int flush);

    z_stream zstream{};
    std::string out;
};
