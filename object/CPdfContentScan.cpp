#include "object/CPdfContentScan.h"

#include <cstdint>

#include "object/CPdfInteger.h"
#include "object/CPdfLexer.h"

namespace CPdfContentScan {

bool CollectNames(const char* content, size_t length, std::unordered_set<std::string>& names) {
    bool inImage = false;     // between BI and ID
    bool lengthNext = false;  // the token before was an inline image's /L or /Length
    int64_t declared = -1;    // the inline image's data length, where it gives one
    for (size_t at = 0;;) {
        const CPdfLexer::Span span = CPdfLexer::NextSpan(content, length, at);
        if (span.kind == CPdfLexer::spanEnd) return true;
        if (!span.closed) return false;
        at = span.end;
        const char* text = content + span.start;
        const size_t size = span.end - span.start;
        const bool wasLength = lengthNext;
        lengthNext = false;
        if (span.kind == CPdfLexer::spanName) {
            std::string name = CPdfLexer::NameText(text + 1, size - 1);
            lengthNext = inImage && (name == "L" || name == "Length");
            names.insert(std::move(name));
        } else if (span.kind == CPdfLexer::spanNumber && wasLength) {
            if (!CPdfInteger::Parse(text, text + size, declared)) declared = -1;
        } else if (span.kind == CPdfLexer::spanWord && size == 2 && text[0] == 'B' &&
                   text[1] == 'I') {
            inImage = true;
            declared = -1;
        } else if (span.kind == CPdfLexer::spanWord && size == 2 && text[0] == 'I' &&
                   text[1] == 'D') {
            if (!inImage || !CPdfLexer::InlineImageEnd(content, length, at, declared, at)) {
                return false;
            }
            inImage = false;
        }
    }
}

}  // namespace CPdfContentScan
