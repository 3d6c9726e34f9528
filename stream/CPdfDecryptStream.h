#pragma once

#include <memory>
#include <string>

#include "stream/CPdfCipher.h"
#include "stream/CPdfStream.h"

// Decrypts the raw data of an encrypted stream object as it is read, before its filters: RC4
// over the whole data, or AES in CBC mode with the first 16 bytes of the data as the iv and
// the pad taken off at the end. The data can be read once, from the beginning.
class CPdfDecryptStream : public CPdfStream {
public:
    // Decrypts source with algorithm and the object's key.
    CPdfDecryptStream(std::shared_ptr<CPdfStream> source, CPdfCipher::Algorithm algorithm,
                      std::string key);

    int64_t GetPos() const override { return source->GetPos(); }
    int64_t GetStart() const override { return source->GetStart(); }
    int64_t GetLength() const override { return source->GetLength(); }

protected:
    bool Fill() override;

private:
    // Starts the cipher, reading the iv first for AES; false when the data is too short.
    bool Start();

    std::shared_ptr<CPdfStream> source;
    CPdfCipher::Algorithm algorithm;
    std::string key;
    std::unique_ptr<CPdfCipher> cipher;
    bool finished = false;
    std::string out;
};
