#include "object/CPdfShallowReader.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfLexer.h"

namespace {
// A cursor over the bytes; every reader returns false to give up.
class Cursor {
public:
    Cursor(const char* text, size_t length) : p(text), end(text + length) {}

    bool SkipSpace() {
        while (p < end && CPdfLexer::ClassOf(static_cast<unsigned char>(*p)) == CPdfLexer::whitespace) {
            ++p;
        }
        return p < end && *p != '%';  // comments are left to the ordinary reader
    }
    bool Literal(const char* word) {
        size_t n = std::strlen(word);
        if (static_cast<size_t>(end - p) < n || std::memcmp(p, word, n) != 0) return false;
        p += n;
        return true;
    }
    bool AtDelimiterOrSpace() const {
        return p < end && CPdfLexer::ClassOf(static_cast<unsigned char>(*p)) != CPdfLexer::regular;
    }
    // A run of regular bytes (a name's text after "/", or a word).
    bool Word(std::string& out) {
        const char* start = p;
        while (p < end && CPdfLexer::ClassOf(static_cast<unsigned char>(*p)) == CPdfLexer::regular) {
            if (*p == '#') return false;
            ++p;
        }
        out.assign(start, static_cast<size_t>(p - start));
        return p < end;
    }
    bool Integer(int64_t& value) {
        const char* start = p;
        if (p < end && (*p == '-' || *p == '+')) ++p;
        const char* digits = p;
        while (p < end && *p >= '0' && *p <= '9') ++p;
        if (p == digits || p - digits > 18 || !AtDelimiterOrSpace() || *start == '+') return false;
        value = 0;
        for (const char* q = digits; q < p; ++q) value = value * 10 + (*q - '0');
        if (*start == '-') value = -value;
        return true;
    }
    // A number, or "n g R".
    bool Number(CPdfObject& out) {
        const char* start = p;
        bool point = false, innerSign = false;
        while (p < end && ((*p >= '0' && *p <= '9') || *p == '-' || *p == '.')) {
            point = point || *p == '.';
            innerSign = innerSign || (*p == '-' && p != start);
            ++p;
        }
        if (!AtDelimiterOrSpace() || innerSign) return false;
        if (point) {
            out = CPdfObject::Real(std::strtod(std::string(start, p).c_str(), nullptr));
            return true;
        }
        p = start;
        int64_t n = 0;
        if (!Integer(n)) return false;
        const char* after = p;
        int64_t g = 0;
        if (SkipSpace() && *p >= '0' && *p <= '9' && Integer(g) && SkipSpace() && *p == 'R' &&
            p + 1 < end && CPdfLexer::ClassOf(static_cast<unsigned char>(p[1])) != CPdfLexer::regular) {
            ++p;
            if (n < INT32_MIN || n > INT32_MAX || g < INT32_MIN || g > INT32_MAX) return false;
            out = CPdfObject::Reference(static_cast<int32_t>(n), static_cast<int32_t>(g));
            return true;
        }
        p = after;
        out = CPdfObject::Integer(n);
        return true;
    }
    // A nested dictionary, skipped to its matching ">>".
    bool SkipDictionary() {
        int depth = 0;
        while (p < end) {
            char c = *p;
            if (c == '(' || c == '%') return false;
            if (c == '<') {
                if (p + 1 < end && p[1] == '<') {
                    ++depth;
                    p += 2;
                    continue;
                }
                const char* close = static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(end - p)));
                if (!close) return false;
                p = close + 1;
                continue;
            }
            if (c == '>') {
                if (p + 1 >= end || p[1] != '>') return false;
                p += 2;
                if (--depth == 0) return true;
                continue;
            }
            ++p;
        }
        return false;
    }
    bool Value(CPdfObject& out, CPdfXRef* xref, bool inArray);

    std::string scratch;

    const char* p;
    const char* end;
};

bool Cursor::Value(CPdfObject& out, CPdfXRef* xref, bool inArray) {
    if (!SkipSpace()) return false;
    char c = *p;
    if (c == '/') {
        ++p;
        if (!Word(scratch)) return false;
        out = CPdfObject();
        out.SetName(scratch);
        return true;
    }
    if ((c >= '0' && c <= '9') || c == '-' || c == '.') return Number(out);
    if (c == '[' && !inArray) {
        ++p;
        out = CPdfObject();
        out.NewArray(xref);
        out.arrayValue->items.reserve(4);  // boxes, as a rule
        for (;;) {
            if (!SkipSpace()) return false;
            if (*p == ']') {
                ++p;
                return true;
            }
            CPdfObject item;
            if (!Value(item, xref, true)) return false;
            out.arrayValue->Append(std::move(item));
        }
    }
    if (c == '<' && !inArray && p + 1 < end && p[1] == '<') {
        if (!SkipDictionary()) return false;
        // Kept as an empty dictionary: the walk looks at its kind only.
        static const auto empty = std::make_shared<CPdfDictionary>(nullptr);
        out = CPdfObject();
        out.SetDictionary(empty);
        return true;
    }
    if (CPdfLexer::ClassOf(static_cast<unsigned char>(c)) != CPdfLexer::regular || !Word(scratch)) {
        return false;
    }
    if (scratch == "null") {
        out = CPdfObject(kindNull);
    } else if (scratch == "true" || scratch == "false") {
        out = CPdfObject::Boolean(scratch == "true");
    } else {
        return false;
    }
    return true;
}
bool IsWalkKey(const std::string& key) {
    switch (key.size()) {
        case 4: return key == "Type" || key == "Kids";
        case 5: return key == "Count";
        case 6: return key == "Annots" || key == "Rotate";
        case 7: return key == "CropBox";
        case 8: return key == "Contents" || key == "MediaBox";
        case 9: return key == "Resources";
        default: return false;
    }
}
}  // namespace

bool CPdfShallowReader::Read(const char* text, size_t length, bool withHeader, int32_t number,
                             int32_t generation, CPdfXRef* xref, CPdfObject& out) {
    Cursor in(text, length);
    if (withHeader) {
        int64_t n = 0, g = 0;
        if (!in.SkipSpace() || !in.Integer(n) || n != number) return false;
        if (!in.SkipSpace() || !in.Integer(g) || g != generation) return false;
        if (!in.SkipSpace() || !in.Literal("obj") || !in.AtDelimiterOrSpace()) return false;
    }
    if (!in.SkipSpace() || !in.Literal("<<")) return false;
    CPdfObject dict;
    dict.NewDictionary(xref);
    for (;;) {
        if (!in.SkipSpace()) return false;
        if (*in.p == '>') {
            if (!in.Literal(">>")) return false;
            break;
        }
        if (*in.p != '/') return false;
        ++in.p;
        std::string key;
        if (!in.Word(key)) return false;
        CPdfObject value;
        if (!in.Value(value, xref, false)) return false;
        // Only the entries that the page tree walk looks at are kept.
        if (IsWalkKey(key)) dict.dictValue->Set(std::move(key), std::move(value));
    }
    // A dictionary followed by "stream" is a stream object; the end of the bytes leaves it
    // open to doubt.
    if (!in.SkipSpace() || in.Literal("stream")) return false;
    out = std::move(dict);
    return true;
}
