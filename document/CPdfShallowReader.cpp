#include "document/CPdfShallowReader.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "document/CPdfNodeEntries.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfInteger.h"
#include "object/CPdfLexer.h"

namespace {
// A cursor over the bytes; every reader returns false to give up.
class Cursor {
public:
    Cursor(const char* text, size_t length) : p(text), end(text + length) {}

    bool SkipSpace() {
        while (p < end &&
               CPdfLexer::ClassOf(static_cast<unsigned char>(*p)) == CPdfLexer::whitespace) {
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
    // A run of regular bytes (a name's text after "/", or a word), left at text.
    bool Word(const char*& text, size_t& length) {
        text = p;
        while (p < end &&
               CPdfLexer::ClassOf(static_cast<unsigned char>(*p)) == CPdfLexer::regular) {
            if (*p == '#') return false;
            ++p;
        }
        length = static_cast<size_t>(p - text);
        return p < end;
    }
    // An integer that fits in 64 bits, followed by a delimiter or white space.
    bool Integer(int64_t& value) {
        const char* after = CPdfInteger::Read(p, end, value);
        if (!after) return false;
        p = after;
        return AtDelimiterOrSpace();
    }
    // A number, or "n g R".
    bool Number(CPdfObject& out) {
        const char* start = p;
        bool point = false, innerSign = false;
        while (p < end && ((*p >= '0' && *p <= '9') || *p == '-' || *p == '+' || *p == '.')) {
            point = point || *p == '.';
            innerSign = innerSign || ((*p == '-' || *p == '+') && p != start);
            ++p;
        }
        if (!AtDelimiterOrSpace() || innerSign) return false;
        if (point) {
            out.Clear();
            out.kind = kindReal;
            out.realValue = std::strtod(std::string(start, p).c_str(), nullptr);
            return true;
        }
        p = start;
        int64_t n = 0;
        if (!Integer(n)) return false;
        const char* after = p;
        int64_t g = 0;
        if (SkipSpace() && *p >= '0' && *p <= '9' && Integer(g) && SkipSpace() && *p == 'R' &&
            p + 1 < end &&
            CPdfLexer::ClassOf(static_cast<unsigned char>(p[1])) != CPdfLexer::regular) {
            ++p;
            if (n < INT32_MIN || n > INT32_MAX || g < INT32_MIN || g > INT32_MAX) return false;
            out.Clear();
            out.kind = kindReference;
            out.refNumber = static_cast<int32_t>(n);
            out.refGeneration = static_cast<int32_t>(g);
            return true;
        }
        p = after;
        out.Clear();
        out.kind = kindInteger;
        out.intValue = n;
        return true;
    }
    // A nested dictionary, skipped to its matching ">>".
    bool SkipDictionary() {
        int depth = 0;
        while (p < end) {
            p = NextSyntax();
            if (p == end) break;
            char c = *p;
            if (c == '(' || c == '%') return false;
            if (c == '<') {
                if (p + 1 < end && p[1] == '<') {
                    ++depth;
                    p += 2;
                    continue;
                }
                const char* close =
                    static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(end - p)));
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
    // The first byte from p on that opens or closes something in a nested dictionary ("<",
    // ">", "(" or "%"), or end. Found with memchr, which steps over the bytes between many at
    // a time.
    const char* NextSyntax() const {
        const char* stop =
            static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(end - p)));
        if (!stop) stop = end;
        for (char c : {'<', '(', '%'}) {
            const char* q =
                static_cast<const char*>(std::memchr(p, c, static_cast<size_t>(stop - p)));
            if (q) stop = q;
        }
        return stop;
    }
    bool Value(CPdfObject& out, CPdfXRef* xref, bool inArray);
    // A /Kids array of references only, as "[ n g R ... ]"; false for anything else.
    bool KidRefs(std::vector<CPdfNodeEntries::KidRef>& out) {
        if (!SkipSpace() || *p != '[') return false;
        ++p;
        for (;;) {
            if (!SkipSpace()) return false;
            if (*p == ']') {
                ++p;
                return true;
            }
            int64_t n = 0, g = 0;
            if (!Integer(n) || !SkipSpace() || !Integer(g) || !SkipSpace() || *p != 'R')
                return false;
            ++p;
            if (!AtDelimiterOrSpace() || n <= 0 || n > INT32_MAX || g < 0 || g > INT32_MAX) {
                return false;
            }
            out.push_back({static_cast<int32_t>(n), static_cast<int32_t>(g)});
        }
    }
    // A box of four plain numbers, as "[ a b c d ]"; false for anything else.
    bool Box(double box[4]) {
        if (!SkipSpace() || *p != '[') return false;
        ++p;
        for (int i = 0; i < 4; ++i) {
            if (!SkipSpace() || !PlainNumber(box[i])) return false;
        }
        if (!SkipSpace() || *p != ']') return false;
        ++p;
        return true;
    }
    // An integer or a real without exponent or sign in its middle.
    bool PlainNumber(double& value) {
        const char* start = p;
        int64_t n = 0;
        if (Integer(n)) {
            value = static_cast<double>(n);
            return true;
        }
        p = start;
        if (p < end && (*p == '-' || *p == '+')) ++p;
        bool point = false, digits = false;
        for (; p < end && ((*p >= '0' && *p <= '9') || *p == '.'); ++p) {
            if (*p == '.' && point) return false;
            point = point || *p == '.';
            digits = digits || *p != '.';
        }
        if (!digits || !point || !AtDelimiterOrSpace()) return false;
        value = std::strtod(std::string(start, p).c_str(), nullptr);
        return true;
    }
    // A flat array of plain tokens, stepped over to its "]"; false for anything else.
    bool SkipArray() {
        if (!SkipSpace() || *p != '[') return false;
        const char* close =
            static_cast<const char*>(std::memchr(p, ']', static_cast<size_t>(end - p)));
        if (!close) {
            p = end;
            return false;
        }
        for (char c : {'[', '(', '%', '<'}) {
            if (std::memchr(p + 1, c, static_cast<size_t>(close - p - 1))) return false;
        }
        p = close + 1;
        return true;
    }
    // Whether the cursor gave up because the text ran out.
    bool RanOut() const { return end - p < 16; }

    const char* p;
    const char* end;
};

bool Cursor::Value(CPdfObject& out, CPdfXRef* xref, bool inArray) {
    if (!SkipSpace()) return false;
    char c = *p;
    if (c == '/') {
        ++p;
        const char* name = nullptr;
        size_t length = 0;
        if (!Word(name, length)) return false;
        out.Clear();
        out.kind = kindName;
        out.textValue.assign(name, length);
        return true;
    }
    if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') return Number(out);
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
            out.arrayValue->items.emplace_back();
            if (!Value(out.arrayValue->items.back(), xref, true)) return false;
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
    const char* word = nullptr;
    size_t length = 0;
    if (CPdfLexer::ClassOf(static_cast<unsigned char>(c)) != CPdfLexer::regular ||
        !Word(word, length)) {
        return false;
    }
    std::string text(word, length);
    if (text == "null") {
        out = CPdfObject(kindNull);
    } else if (text == "true" || text == "false") {
        out = CPdfObject::Boolean(text == "true");
    } else {
        return false;
    }
    return true;
}

bool ReadDictionary(Cursor& in, bool withHeader, int32_t number, int32_t generation, CPdfXRef* xref,
                    CPdfNodeEntries& out) {
    if (withHeader) {
        int64_t n = 0, g = 0;
        if (!in.SkipSpace() || !in.Integer(n) || n != number) return false;
        if (!in.SkipSpace() || !in.Integer(g) || g != generation) return false;
        if (!in.SkipSpace() || !in.Literal("obj") || !in.AtDelimiterOrSpace()) return false;
    }
    if (!in.SkipSpace() || !in.Literal("<<")) return false;
    out.xref = xref;
    CPdfObject ignored;
    for (;;) {
        if (!in.SkipSpace()) return false;
        if (*in.p == '>') {
            if (!in.Literal(">>")) return false;
            break;
        }
        if (*in.p != '/') return false;
        ++in.p;
        const char* key = nullptr;
        size_t keyLength = 0;
        if (!in.Word(key, keyLength)) return false;
        // Only the entries that the page tree walk looks at are kept; the first of a key
        // that appears twice counts.
        CPdfNodeEntries::Key k = CPdfNodeEntries::KeyOf(key, keyLength);
        bool keep = k != CPdfNodeEntries::kKeyCount && !out.Has(k);
        const char* before = in.p;
        if (keep && k == CPdfNodeEntries::keyKids) {
            if (in.KidRefs(out.kidRefs)) {
                out.compactKids = true;
                out.Keep(k);
                continue;
            }
            if (in.RanOut()) return false;
            out.kidRefs.clear();
            in.p = before;
        }
        // Of /Contents and /Annots arrays only the kind counts: their items are not built.
        if (keep && (k == CPdfNodeEntries::keyContents || k == CPdfNodeEntries::keyAnnots)) {
            if (in.SkipArray()) {
                static const auto empty = std::make_shared<CPdfArray>(nullptr);
                CPdfObject& value = out.Keep(k);
                value.Clear();
                value.kind = kindArray;
                value.arrayValue = empty;
                continue;
            }
            if (in.RanOut()) return false;
            in.p = before;
        }
        if (keep && k == CPdfNodeEntries::keyMediaBox) {
            if (in.Box(out.mediaBox)) {
                out.compactMediaBox = true;
                out.Keep(k);
                continue;
            }
            in.p = before;
        }
        if (!in.Value(keep ? out.Keep(k) : ignored, xref, false)) return false;
    }
    // A dictionary followed by "stream" is a stream object; the end of the bytes leaves it
    // open to doubt.
    return in.SkipSpace() && !in.Literal("stream");
}
}  // namespace

CPdfShallowReader::Result CPdfShallowReader::Read(const char* text, size_t length, bool withHeader,
                                                  int32_t number, int32_t generation,
                                                  CPdfXRef* xref, CPdfNodeEntries& out,
                                                  size_t& used) {
    Cursor in(text, length);
    bool done = ReadDictionary(in, withHeader, number, generation, xref, out);
    used = static_cast<size_t>(in.p - text);
    if (done) return taken;
    return in.RanOut() ? truncated : declined;
}
