#pragma once

#include <cstdint>
#include <string>

// Text strings (titles, names shown to the user) as the document stores them: UTF-16 with a
// byte order mark, UTF-8 with a byte order mark, or else PDFDocEncoding.
class CPdfTextString {
public:
    // The text in UTF-8. Bytes that make no character (an unpaired surrogate, a malformed
    // UTF-8 sequence, a PDFDocEncoding code without a character) become U+FFFD. Throws nothing.
    static std::string ToUtf8(const std::string& bytes);

    // Appends code point cp in UTF-8 (U+FFFD for a surrogate or a value past U+10FFFF).
    static void AppendUtf8(std::string& out, uint32_t cp);

    // Reads the UTF-8 sequence at at, moves at past it and returns its code point; a malformed
    // sequence yields U+FFFD and moves at by one byte. at must be before the end.
    static uint32_t NextUtf8(const std::string& text, size_t& at);
    // The same text in fewer bytes where PDFDocEncoding can hold it: UTF-16 text whose
    // characters are all printable ASCII becomes those ASCII bytes; other text stays as it is.
    static std::string Compact(const std::string& bytes);
};
