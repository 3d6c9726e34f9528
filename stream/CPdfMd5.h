#pragma once

#include <cstddef>
#include <memory>
#include <string>

// An MD5 digest of bytes given in parts, so that what is digested never has to be held whole
// (an output's /ID digests its page list). Taken from OpenSSL's libcrypto, as CPdfCipher's
// digests are; nothing of the library shows outside this class.
class CPdfMd5 {
public:
    CPdfMd5();
    ~CPdfMd5();
    CPdfMd5(const CPdfMd5&) = delete;
    CPdfMd5& operator=(const CPdfMd5&) = delete;

    // Digests count more bytes at data.
    void Add(const char* data, size_t count);
    void Add(const std::string& data) { Add(data.data(), data.size()); }
    // The 16 bytes of the digest of all the bytes added. Call once, after the last Add.
    std::string Finish();

private:
    struct State;
    std::unique_ptr<State> state;
};
