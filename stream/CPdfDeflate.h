#pragma once

#include <string>

// Flate compression (the zlib format that /FlateDecode reads) of whole buffers, for the streams
// an output makes itself: object streams and cross-reference streams.
class CPdfDeflate {
public:
    // data compressed. Throws "Unexpected exception" when the library cannot work (no memory).
    static std::string Compress(const std::string& data);
    // Frees the compressor (about 650 KB) until the next Compress makes it again.
    static void Release();
};
