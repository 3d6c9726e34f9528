#include "stream/CPdfMd5.h"

// The plain MD5 functions (see CPdfCipher::Hash), which OpenSSL 3 marks as deprecated.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

struct CPdfMd5::State {
    MD5_CTX context;
};

CPdfMd5::CPdfMd5() : state(std::make_unique<State>()) {
    MD5_Init(&state->context);
}

CPdfMd5::~CPdfMd5() = default;

void CPdfMd5::Add(const char* data, size_t count) {
    MD5_Update(&state->context, data, count);
}

std::string CPdfMd5::Finish() {
    unsigned char value[MD5_DIGEST_LENGTH];
    MD5_Final(value, &state->context);
    return std::string(reinterpret_cast<const char*>(value), sizeof value);
}
