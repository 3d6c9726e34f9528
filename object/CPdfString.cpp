#include "object/CPdfString.h"

#include <cctype>

namespace {
int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}
}  // namespace

std::string CPdfString::HexEncode(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string CPdfString::HexDecode(const std::string& text) {
    std::string out(text.size() / 2, '\0');
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char>(HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1]));
    }
    return out;
}

std::string CPdfString::Serialize() const {
    return "<" + (decoded ? HexEncode(data) : data) + ">";
}

std::string CPdfString::Bytes() const {
    if (decoded) return data;
    std::string digits;
    digits.reserve(data.size() + 1);
    for (char c : data) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
    }
    if (digits.size() % 2) digits.push_back('0');
    return HexDecode(digits);
}
