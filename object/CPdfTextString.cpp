#include "object/CPdfTextString.h"

namespace {
const uint32_t kReplacement = 0xFFFD;

// PDFDocEncoding codes 0x18-0x1F and 0x80-0xA0 that differ from Latin-1; 0 where the code
// has no character.
const uint16_t kLow[8] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
const uint16_t kHigh[33] = {0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039,
                            0x203A, 0x2212, 0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A,
                            0x2122, 0xFB01, 0xFB02, 0x0141, 0x0152, 0x0160, 0x0178, 0x017D, 0x0131,
                            0x0142, 0x0153, 0x0161, 0x017E, 0,      0x20AC};

uint32_t FromDocEncoding(unsigned char byte) {
    if (byte >= 0x18 && byte <= 0x1F) return kLow[byte - 0x18];
    if (byte >= 0x80 && byte <= 0xA0) return kHigh[byte - 0x80] ? kHigh[byte - 0x80] : kReplacement;
    if (byte == 0x7F || byte == 0xAD) return kReplacement;
    return byte;
}

std::string FromUtf16(const std::string& bytes, bool bigEndian) {
    std::string out;
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        CPdfTextString::AppendUtf8(out, cp);
    }
    return out;
}
}  // namespace

std::string CPdfTextString::ToUtf8(const std::string& bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF')
        return FromUtf16(bytes, true);
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        return FromUtf16(bytes, false);
    }
    std::string out;
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        for (size_t at = 3; at < bytes.size();) AppendUtf8(out, NextUtf8(bytes, at));
        return out;
    }
    for (char c : bytes) AppendUtf8(out, FromDocEncoding(static_cast<unsigned char>(c)));
    return out;
}

void CPdfTextString::AppendUtf8(std::string& out, uint32_t cp) {
    if ((cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

uint32_t CPdfTextString::NextUtf8(const std::string& text, size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 0;
    if (lead < 0x80) {
        length = 1;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        length = 2;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4;
    }
    if (length == 1) return text[at++] & 0x7F;
    uint32_t cp = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t i = 1; i < length; ++i) {
        if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            length = 0;
            break;
        }
        cp = cp << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0 || cp < kSmallest[length] || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) {
        ++at;
        return kReplacement;
    }
    at += length;
    return cp;
}

std::string CPdfTextString::Compact(const std::string& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 || bytes[0] != '\xFE' || bytes[1] != '\xFF') {
        return bytes;
    }
    std::string ascii;
    for (size_t i = 2; i < bytes.size(); i += 2) {
        unsigned char low = static_cast<unsigned char>(bytes[i + 1]);
        if (bytes[i] != 0 || low < 0x20 || low > 0x7E) return bytes;
        ascii.push_back(static_cast<char>(low));
    }
    return ascii;
}
