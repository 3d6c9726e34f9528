#include "stream/CPdfCipher.h"

// MD5 is also taken from the library's own function (see Hash), which OpenSSL 3 marks as
// deprecated.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <climits>

#include "CPdfException.h"
#include "CPdfMessages.h"

namespace {
constexpr const char* kUnsupported = CPdfMessages::kEncryptionUnsupported;

// The library context with the default and the legacy provider (the one that has RC4), and the
// algorithms fetched from it once. Kept for the life of the process.
struct Library {
    OSSL_LIB_CTX* context = nullptr;
    EVP_CIPHER* ciphers[4] = {nullptr, nullptr, nullptr, nullptr};
    EVP_MD* digests[4] = {nullptr, nullptr, nullptr, nullptr};

    Library() {
        context = OSSL_LIB_CTX_new();
        if (!context) return;
        OSSL_PROVIDER_load(context, "default");
        OSSL_PROVIDER_load(context, "legacy");
        static const char* const cipherNames[4] = {"RC4", "AES-128-CBC", "AES-256-CBC",
                                                   "AES-256-ECB"};
        static const char* const digestNames[4] = {"MD5", "SHA256", "SHA384", "SHA512"};
        for (int i = 0; i < 4; ++i) {
            ciphers[i] = EVP_CIPHER_fetch(context, cipherNames[i], nullptr);
            digests[i] = EVP_MD_fetch(context, digestNames[i], nullptr);
        }
    }
};

const Library& TheLibrary() {
    static const Library library;
    return library;
}

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}
}  // namespace

struct CPdfCipher::Context {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    ~Context() { EVP_CIPHER_CTX_free(ctx); }
};

CPdfCipher::CPdfCipher(Algorithm algorithm, const std::string& key, const std::string& iv,
                       bool encrypt, Padding padding)
    : context(std::make_unique<Context>()),
      decryptPadded(!encrypt && padding == pdfPadding && algorithm != rc4) {
    const EVP_CIPHER* cipher = TheLibrary().ciphers[algorithm];
    EVP_CIPHER_CTX* ctx = context->ctx;
    const bool cbc = algorithm == aes128Cbc || algorithm == aes256Cbc;
    if (!cipher || !ctx || key.empty() || key.size() > 256 || (cbc && iv.size() != 16) ||
        !EVP_CipherInit_ex2(ctx, cipher, nullptr, nullptr, encrypt ? 1 : 0, nullptr) ||
        !EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) ||
        !EVP_CipherInit_ex2(ctx, nullptr, Bytes(key), cbc ? Bytes(iv) : nullptr, -1, nullptr)) {
        throw CPdfException(kUnsupported);
    }
    // Decryption takes the pad off itself, so that a damaged pad does not lose the last block.
    EVP_CIPHER_CTX_set_padding(ctx, encrypt && padding == pdfPadding ? 1 : 0);
}

CPdfCipher::~CPdfCipher() = default;

void CPdfCipher::Update(const uint8_t* in, size_t count, std::string& out) {
    std::string& target = decryptPadded ? held : out;
    while (count > 0) {
        const int piece = static_cast<int>(std::min<size_t>(count, INT_MAX / 2));
        const size_t at = target.size();
        target.resize(at + static_cast<size_t>(piece) + 32);
        int got = 0;
        if (!EVP_CipherUpdate(context->ctx, reinterpret_cast<uint8_t*>(&target[at]), &got, in,
                              piece)) {
            got = 0;
        }
        target.resize(at + static_cast<size_t>(got));
        in += piece;
        count -= static_cast<size_t>(piece);
    }
    if (decryptPadded && held.size() > 16) {
        const size_t keep = held.size() - 16;
        out.append(held, 0, keep);
        held.erase(0, keep);
    }
}

void CPdfCipher::Finish(std::string& out) {
    std::string& target = decryptPadded ? held : out;
    const size_t at = target.size();
    target.resize(at + 32);
    int got = 0;
    if (!EVP_CipherFinal_ex(context->ctx, reinterpret_cast<uint8_t*>(&target[at]), &got)) got = 0;
    target.resize(at + static_cast<size_t>(got));
    if (!decryptPadded) return;
    size_t pad = held.size() == 16 ? static_cast<uint8_t>(held.back()) : 0;
    for (size_t i = 0; pad > 0 && i < pad; ++i) {
        if (pad > 16 || static_cast<uint8_t>(held[15 - i]) != pad) pad = 0;
    }
    out.append(held, 0, held.size() - pad);
    held.clear();
}

std::string CPdfCipher::Apply(Algorithm algorithm, const std::string& key, const std::string& iv,
                              bool encrypt, Padding padding, const std::string& data) {
    CPdfCipher cipher(algorithm, key, iv, encrypt, padding);
    std::string out;
    out.reserve(data.size() + 32);
    cipher.Update(Bytes(data), data.size(), out);
    cipher.Finish(out);
    return out;
}

std::string CPdfCipher::Hash(Digest digest, const std::string& data) {
    if (digest == md5) {
        // Every output's /ID needs MD5: the plain function does not load the library's
        // providers, which costs each run a few milliseconds and 2 MB of memory.
        uint8_t value[MD5_DIGEST_LENGTH];
        MD5(reinterpret_cast<const uint8_t*>(data.data()), data.size(), value);
        return std::string(reinterpret_cast<const char*>(value), sizeof value);
    }
    const EVP_MD* md = TheLibrary().digests[digest];
    uint8_t value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!md || !EVP_Digest(data.data(), data.size(), value, &length, md, nullptr)) {
        throw CPdfException(kUnsupported);
    }
    return std::string(reinterpret_cast<const char*>(value), length);
}

std::string CPdfCipher::RandomBytes(size_t count) {
    std::string out(count, '\0');
    if (count > 0 &&
        RAND_bytes_ex(TheLibrary().context, reinterpret_cast<uint8_t*>(&out[0]), count, 0) != 1) {
        throw CPdfException(kUnsupported);
    }
    return out;
}
