#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The ciphers and digests of encrypted documents, taken from OpenSSL's libcrypto (RC4 from its
// legacy provider). Nothing of the library shows outside this class: keys, data and results
// are plain bytes.
class CPdfCipher {
public:
    enum Algorithm { rc4, aes128Cbc, aes256Cbc, aes256Ecb };
    enum Digest { md5, sha256, sha384, sha512 };
    // pdfPadding: encryption pads AES data to whole blocks (each pad byte holds the pad's
    // length); decryption takes a well-formed pad off again and keeps the bytes as they are
    // otherwise. noPadding: the data must be whole blocks; a trailing part block is dropped.
    enum Padding { noPadding, pdfPadding };

    // Starts encrypting (encrypt set) or decrypting with key (any length for RC4, 16 or 32
    // bytes for AES) and, for AES in CBC mode, a 16-byte iv. Throws "Encryption method is not
    // supported" when the library cannot provide the algorithm or takes neither key nor iv.
    CPdfCipher(Algorithm algorithm, const std::string& key, const std::string& iv, bool encrypt,
               Padding padding = noPadding);
    ~CPdfCipher();
    CPdfCipher(const CPdfCipher&) = delete;
    CPdfCipher& operator=(const CPdfCipher&) = delete;

    // Passes count bytes through, appending what comes out to out (AES holds back a part
    // block, and the last block while decrypting with pdfPadding).
    void Update(const uint8_t* in, size_t count, std::string& out);
    // Ends the data, appending the bytes held back. Call once, after the last Update.
    void Finish(std::string& out);

    // The whole of data through a new cipher. Throws as the constructor does.
    static std::string Apply(Algorithm algorithm, const std::string& key, const std::string& iv,
                             bool encrypt, Padding padding, const std::string& data);
    // The digest of data. Throws "Encryption method is not supported" when the library cannot
    // provide it.
    static std::string Hash(Digest digest, const std::string& data);
    // count bytes from the library's random generator. Throws "Encryption method is not
    // supported" when it has none.
    static std::string RandomBytes(size_t count);

private:
    struct Context;
    std::unique_ptr<Context> context;
    bool decryptPadded;
    std::string held;  // the last decrypted block, while decrypting with pdfPadding
};
