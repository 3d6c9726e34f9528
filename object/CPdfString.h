#pragma once

#include <string>

// A PDF string value. A literal string holds its bytes (decoded); a hexadecimal string
// holds the digit text exactly as it stood between "<" and ">" (not decoded).
class CPdfString {
public:
    CPdfString() = default;
    CPdfString(const char* bytes, size_t count) : data(bytes, count) {}

    // Writes the string as a hexadecimal string: "<", the digits, ">". A decoded string is
    // written as two lowercase digits per byte; an undecoded one as its stored digit text.
    std::string Serialize() const;

    // Two lowercase hexadecimal digits per byte, high nibble first.
    static std::string HexEncode(const std::string& bytes);
    // Reads digit pairs back into bytes; a non-digit counts as 0.
    static std::string HexDecode(const std::string& digits);
    // The string's bytes: a hexadecimal string's digits read as readers read them (white
    // space and other bytes skipped, a last odd digit followed by 0).
    std::string Bytes() const;

    bool decoded = true;
    std::string data;
};
