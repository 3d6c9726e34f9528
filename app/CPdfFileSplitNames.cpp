// Output file names: the numbered names of the modes (six digits or more), the title part of
// bookmark files, and the user's name templates.
#include <locale.h>
#include <wctype.h>

#include <cstdio>

#include "app/CPdfCommandLine.h"
#include "app/CPdfFileSplit.h"
#include "app/CPdfNameTemplate.h"
#include "object/CPdfTextString.h"

namespace {
const size_t kMaxTitleBytes = 60;

// The C.UTF-8 character classes, loaded once; null when the system lacks them.
class CharacterClasses {
public:
    CharacterClasses() : locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t())) {}
    ~CharacterClasses() {
        if (locale) freelocale(locale);
    }
    CharacterClasses(const CharacterClasses&) = delete;
    CharacterClasses& operator=(const CharacterClasses&) = delete;

    // Whether cp is a letter or digit of any script. Without the classes: ASCII letters and
    // digits, and every character from U+00C0 on outside the punctuation and symbol blocks.
    bool IsLetterOrDigit(uint32_t cp) const {
        if (locale) return iswalnum_l(static_cast<wint_t>(cp), locale) != 0;
        if (cp < 0x80) return (cp | 0x20) - 'a' < 26 || cp - '0' < 10;
        return cp >= 0xC0 && cp != 0xD7 && cp != 0xF7 && !(cp >= 0x2000 && cp < 0x2C00) &&
               !(cp >= 0x3000 && cp < 0x3040) && !(cp >= 0xFE30 && cp < 0xFE70) &&
               !(cp >= 0xFF00 && cp < 0xFF10) && cp != 0xFFFD;
    }

private:
    locale_t locale;
};

// The title reduced to letters, digits and '_', every run of other characters between them
// written as one '-', at most kMaxTitleBytes bytes of whole characters.
std::string SafeTitle(const std::string& title) {
    static const CharacterClasses classes;
    std::string out;
    bool gap = false;
    for (size_t at = 0; at < title.size();) {
        const size_t start = at;
        const uint32_t cp = CPdfTextString::NextUtf8(title, at);
        if (cp != '_' && !classes.IsLetterOrDigit(cp)) {
            gap = !out.empty();
            continue;
        }
        const size_t length = at - start;
        if (out.size() + (gap ? 1 : 0) + length > kMaxTitleBytes) break;
        if (gap) out += '-';
        gap = false;
        out.append(title, start, length);
    }
    return out;
}
}  // namespace

std::string CPdfFileSplit::FormatSixDigits(uint64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%06llu", static_cast<unsigned long long>(number));
    return text;
}

std::string CPdfFileSplit::ChunkFileName(const std::string& prefix, uint64_t first, uint64_t size,
                                         uint64_t pageCount) {
    if (size == 1) return prefix + FormatSixDigits(first) + ".pdf";
    uint64_t last = pageCount - first < size ? pageCount : first + size - 1;
    return prefix + FormatSixDigits(first) + "-" + FormatSixDigits(last) + ".pdf";
}

std::string CPdfFileSplit::RangeFileName(const std::string& prefix, uint64_t first, uint64_t last) {
    if (first == last) return prefix + FormatSixDigits(first) + ".pdf";
    return prefix + FormatSixDigits(first) + "-" + FormatSixDigits(last) + ".pdf";
}

std::string CPdfFileSplit::FileNameTitle(const std::string& title) {
    return SafeTitle(title);
}

std::string CPdfFileSplit::BookmarkFileName(const std::string& prefix, uint64_t item,
                                            const std::string& title) {
    const std::string safe = SafeTitle(title);
    return prefix + FormatSixDigits(item) + (safe.empty() ? "" : "-" + safe) + ".pdf";
}

std::string CPdfFileSplit::NameFor(const std::string& usual, const CPdfSelection& pages,
                                   const std::string& title, uint64_t file) const {
    if (CPdfCommandLine::IsStandardStream(outputName) ||
        !CPdfNameTemplate::IsTemplate(outputName)) {
        return usual;
    }
    CPdfNameTemplate::Fields fields;
    fields.file = file;
    fields.first = pages.empty() ? 0 : pages.front().pageNumber;
    fields.last = pages.empty() ? 0 : pages.back().pageNumber;
    fields.title = FileNameTitle(title);
    return CPdfNameTemplate::Expand(outputName, fields);
}
