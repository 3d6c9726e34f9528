#include "object/CPdfInteger.h"

const char* CPdfInteger::Read(const char* p, const char* end, int64_t& value) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    // The magnitude is summed unsigned, against the largest one the sign allows.
    const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    const char* digits = p;
    uint64_t magnitude = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        const unsigned digit = static_cast<unsigned>(*p - '0');
        if (magnitude > (limit - digit) / 10) return nullptr;
        magnitude = magnitude * 10 + digit;
    }
    if (p == digits) return nullptr;
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return p;
}
