#pragma once

#include <cstdint>

// Decimal integers as a file writes them: an optional sign and one or more digits. This is the
// one reader of integers from file bytes (tokens, cross-reference tables, the repair scan, the
// quick reader): a number whose value does not fit in 64 bits is not an integer.
class CPdfInteger {
public:
    // Reads an optional '+' or '-' and the digits after it from [p, end), up to the first byte
    // that is not a digit. Returns the position of that byte and sets value; returns nullptr,
    // with value untouched, when there is no digit or the value lies outside int64_t.
    static const char* Read(const char* p, const char* end, int64_t& value);
    static const uint8_t* Read(const uint8_t* p, const uint8_t* end, int64_t& value) {
        return reinterpret_cast<const uint8_t*>(
            Read(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(end), value));
    }

    // Whether [begin, end) is one integer and nothing else; sets value when it is.
    static bool Parse(const char* begin, const char* end, int64_t& value) {
        return begin < end && Read(begin, end, value) == end;
    }
};
