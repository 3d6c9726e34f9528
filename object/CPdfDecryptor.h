#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CPdfObject;
class CPdfStream;

// What the parser needs of an encrypted document to read an object in clear: its strings and
// its stream data decrypted as those of the object that holds them. The security handler of
// the source (CPdfSecurity) is the one implementation.
class CPdfDecryptor {
public:
    // The string bytes (decoded, not hexadecimal digits) of object number, generation in
    // clear.
    virtual std::string DecryptString(const std::string& bytes, int32_t number,
                                      int32_t generation) const = 0;
    // A stream that decrypts raw while it is read, to put under the filters of the stream
    // whose dictionary is dictionary; raw itself when that stream is not encrypted.
    virtual std::shared_ptr<CPdfStream> DecryptingStream(std::shared_ptr<CPdfStream> raw,
                                                         const CPdfObject& dictionary,
                                                         int32_t number,
                                                         int32_t generation) const = 0;

protected:
    CPdfDecryptor() = default;
    CPdfDecryptor(const CPdfDecryptor&) = default;
    CPdfDecryptor& operator=(const CPdfDecryptor&) = default;
    ~CPdfDecryptor() = default;
};
