#pragma once

#include <memory>
#include <string>

#include "object/CPdfObject.h"

class CPdfStream;

// The set-up of a stream object's filters from its dictionary: the decoders that the
// dictionary's /Filter and /DecodeParms ask for, put over the raw data.
class CPdfFilters {
public:
    // The stream to read the data of a stream object through, given its raw data stream and
    // its dictionary: the raw stream without a filter, a Flate decoder for /FlateDecode, or
    // nullptr when the data cannot be decoded. A /Crypt filter first in the list is passed
    // over: the raw stream is already decrypted where the key is known.
    static std::shared_ptr<CPdfStream> AddFilters(std::shared_ptr<CPdfStream> raw,
                                                  const CPdfObject& dictionary);
    // A decoder for one filter name over the raw stream, or nullptr.
    static std::shared_ptr<CPdfStream> MakeFilter(const std::string& name,
                                                  std::shared_ptr<CPdfStream> raw,
                                                  const CPdfObject& parameters);
};
