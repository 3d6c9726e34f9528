#include "object/CPdfShallowReader.h"

#include <cstring>
#include <memory>
#include <string>

#include "CPdfLimits.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfInteger.h"
#include "object/CPdfLexer.h"
#include "object/CPdfNodeEntries.h"

namespace {
using Span = CPdfLexer::Span;

// A cursor over the bytes, a token at a time (found by the lexer's fast mode); every reader
// returns false to give up. A token that the bytes may cut short, or the end of the bytes,
// reads as spanEnd and marks the object as cut off.
class Cursor {
public:
    Cursor(const char* bytes, size_t size) : text(bytes), length(size) {}

    // The next token, not consumed.
    const Span& Peek() {
        if (!peeked) {
            next = CPdfLexer::NextSpan(text, length, at);
            if (next.kind == CPdfLexer::spanEnd || next.open) {
                next.kind = CPdfLexer::spanEnd;
                ranOut = true;
            }
            peeked = true;
        }
        return next;
    }
    // The next token, consumed.
    Span Take() {
        Span span = Peek();
        if (span.kind != CPdfLexer::spanEnd) at = span.end;
        peeked = false;
        return span;
    }
    bool Is(const Span& span, const char* word) const {
        const size_t size = std::strlen(word);
        return span.end - span.start == size && std::memcmp(text + span.start, word, size) == 0;
    }
    bool IsDelimiter(const Span& span, const char* word) const {
        return span.kind == CPdfLexer::spanDelimiter && Is(span, word);
    }
    bool IsWord(const Span& span, const char* word) const {
        return span.kind == CPdfLexer::spanWord && Is(span, word);
    }
    // Goes back to position to (a token read from there is forgotten); false when the bytes
    // ran out on the way.
    bool Rewind(size_t to) {
        at = to;
        peeked = false;
        return !ranOut;
    }
    std::string Name(const Span& span) const {
        return CPdfLexer::NameText(text + span.start + 1, span.end - span.start - 1);
    }
    // The integer a number token holds; false for anything else.
    bool Integer(const Span& span, int64_t& value) const {
        return span.kind == CPdfLexer::spanNumber &&
               CPdfInteger::Parse(text + span.start, text + span.end, value);
    }

    bool Value(CPdfObject& out, CPdfResolver* xref, bool inArray);
    bool Number(const Span& first, CPdfObject& out);
    // Steps over one value as the parser reads it (a container to its end).
    bool SkipValue(int depth);
    bool SkipDictionary(int depth);
    bool KidRefs(std::vector<CPdfNodeEntries::KidRef>& out);
    bool Box(double box[4]);

    const char* text;
    size_t length;
    size_t at = 0;
    bool ranOut = false;

private:
    Span next;
    bool peeked = false;
};

// Containers inside a page dictionary that the cursor steps over: real ones nest a few levels.
constexpr int kMaxSkipDepth = 64;

bool Cursor::Number(const Span& first, CPdfObject& out) {
    CPdfLexer::NumberValue(text + first.start, first.end - first.start, out);
    if (out.kind != kindInteger) return true;
    // "n g R" is a reference, as the parser reads it.
    const size_t before = at;
    const Span second = Take();
    int64_t generation = 0;
    if (second.kind != CPdfLexer::spanNumber || !Integer(second, generation) ||
        !IsWord(Peek(), "R")) {
        return Rewind(before);  // only an integer
    }
    Take();
    if (out.intValue < INT32_MIN || out.intValue > INT32_MAX || generation < INT32_MIN ||
        generation > INT32_MAX) {
        return false;
    }
    out =
        CPdfObject::Reference(static_cast<int32_t>(out.intValue), static_cast<int32_t>(generation));
    return true;
}

bool Cursor::Value(CPdfObject& out, CPdfResolver* xref, bool inArray) {
    const Span span = Take();
    switch (span.kind) {
        case CPdfLexer::spanName:
            out.Clear();
            out.kind = kindName;
            out.textValue = Name(span);
            return true;
        case CPdfLexer::spanNumber:
            return Number(span, out);
        case CPdfLexer::spanWord:
            if (IsWord(span, "null")) {
                out = CPdfObject(kindNull);
            } else if (IsWord(span, "true") || IsWord(span, "false")) {
                out = CPdfObject::Boolean(IsWord(span, "true"));
            } else {
                return false;
            }
            return true;
        case CPdfLexer::spanDelimiter:
            break;
        default:
            return false;
    }
    if (inArray) return false;  // arrays of containers are left to the parser
    if (IsDelimiter(span, "[")) {
        out = CPdfObject();
        out.NewArray(xref);
        out.arrayValue->items.reserve(4);  // boxes, as a rule
        while (!IsDelimiter(Peek(), "]")) {
            out.arrayValue->items.emplace_back();
            if (!Value(out.arrayValue->items.back(), xref, true)) return false;
        }
        Take();
        return true;
    }
    if (!IsDelimiter(span, "<<") || !SkipDictionary(1)) return false;
    // Kept as an empty dictionary: the walk looks at its kind only.
    static const auto empty = std::make_shared<CPdfDictionary>(nullptr);
    out = CPdfObject();
    out.SetDictionary(empty);
    return true;
}

bool Cursor::SkipValue(int depth) {
    const Span span = Take();
    if (span.kind == CPdfLexer::spanEnd || IsWord(span, "endobj")) return false;
    if (span.kind == CPdfLexer::spanNumber) {
        CPdfObject number;  // a reference is one value
        return Number(span, number);
    }
    if (IsDelimiter(span, "<<")) return SkipDictionary(depth + 1);
    if (!IsDelimiter(span, "[")) return true;
    if (depth >= kMaxSkipDepth) return false;
    if (const size_t end = CPdfLexer::PlainContainerEnd(text, length, at, false)) {
        at = end;
        return true;
    }
    while (!IsDelimiter(Peek(), "]")) {
        if (!SkipValue(depth + 1)) return false;
    }
    Take();
    return true;
}

bool Cursor::SkipDictionary(int depth) {
    // The parser's reading: a key followed by ">>" or a stray delimiter has no value; a token
    // where a key belongs is passed over.
    if (depth >= kMaxSkipDepth) return false;
    if (const size_t end = CPdfLexer::PlainContainerEnd(text, length, at, true)) {
        at = end;
        return true;
    }
    for (;;) {
        const Span span = Take();
        if (span.kind == CPdfLexer::spanEnd || IsWord(span, "endobj")) return false;
        if (IsDelimiter(span, ">>")) return true;
        if (span.kind != CPdfLexer::spanName) continue;
        const Span& value = Peek();
        if (value.kind == CPdfLexer::spanError || IsDelimiter(value, ">>")) continue;
        if (!SkipValue(depth)) return false;
    }
}

bool Cursor::KidRefs(std::vector<CPdfNodeEntries::KidRef>& out) {
    if (!IsDelimiter(Take(), "[")) return false;
    for (;;) {
        const Span first = Take();
        if (IsDelimiter(first, "]")) return true;
        int64_t n = 0, g = 0;
        if (!Integer(first, n) || !Integer(Take(), g) || !IsWord(Take(), "R")) return false;
        if (n <= 0 || n > INT32_MAX || g < 0 || g > INT32_MAX) return false;
        out.push_back({static_cast<int32_t>(n), static_cast<int32_t>(g)});
    }
}

bool Cursor::Box(double box[4]) {
    if (!IsDelimiter(Take(), "[")) return false;
    CPdfObject number;
    for (int i = 0; i < 4; ++i) {
        const Span span = Take();
        if (span.kind != CPdfLexer::spanNumber) return false;
        CPdfLexer::NumberValue(text + span.start, span.end - span.start, number);
        box[i] = number.GetNumber();
    }
    return IsDelimiter(Take(), "]");
}

bool ReadHeader(Cursor& in, int32_t number, int32_t generation) {
    int64_t n = 0, g = 0;
    return in.Integer(in.Take(), n) && n == number && in.Integer(in.Take(), g) && g == generation &&
           in.IsWord(in.Take(), "obj");
}

// Reads the value of key k, which the record keeps, into out.
bool ReadEntry(Cursor& in, CPdfNodeEntries::Key k, CPdfResolver* xref, CPdfNodeEntries& out) {
    const size_t before = in.at;
    auto retry = [&]() { return in.Rewind(before); };
    if (k == CPdfNodeEntries::keyKids) {
        if (in.KidRefs(out.kidRefs)) {
            out.compactKids = true;
            out.Keep(k);
            return true;
        }
        out.kidRefs.clear();
        if (!retry()) return false;
    }
    // Of /Contents and /Annots arrays only the kind counts: their items are not built.
    if ((k == CPdfNodeEntries::keyContents || k == CPdfNodeEntries::keyAnnots) &&
        in.IsDelimiter(in.Peek(), "[")) {
        if (!in.SkipValue(0)) return false;
        static const auto empty = std::make_shared<CPdfArray>(nullptr);
        CPdfObject& value = out.Keep(k);
        value.Clear();
        value.kind = kindArray;
        value.arrayValue = empty;
        return true;
    }
    if (k == CPdfNodeEntries::keyMediaBox) {
        if (in.Box(out.mediaBox)) {
            out.compactMediaBox = true;
            out.Keep(k);
            return true;
        }
        if (!retry()) return false;
    }
    return in.Value(out.Keep(k), xref, false);
}

bool ReadDictionary(Cursor& in, bool withHeader, int32_t number, int32_t generation,
                    CPdfResolver* xref, CPdfNodeEntries& out) {
    if (withHeader && !ReadHeader(in, number, generation)) return false;
    if (!in.IsDelimiter(in.Take(), "<<")) return false;
    out.xref = xref;
    for (;;) {
        const Span key = in.Take();
        if (in.IsDelimiter(key, ">>")) break;
        if (key.kind != CPdfLexer::spanName) return false;
        // A key without a value is left to the parser.
        const Span& value = in.Peek();
        if (value.kind == CPdfLexer::spanError || in.IsDelimiter(value, ">>")) return false;
        // Only the entries that the page tree walk looks at are kept; the first of a key
        // that appears twice counts.
        // Keys are plain names as a rule: only one with "#" escapes is decoded first.
        const char* raw = in.text + key.start + 1;
        const size_t rawLength = key.end - key.start - 1;
        const bool escaped = std::memchr(raw, '#', rawLength) != nullptr;
        const std::string name = escaped ? in.Name(key) : std::string();
        const CPdfNodeEntries::Key k = escaped ? CPdfNodeEntries::KeyOf(name.data(), name.size())
                                               : CPdfNodeEntries::KeyOf(raw, rawLength);
        const bool keep = k != CPdfNodeEntries::kKeyCount && !out.Has(k);
        if (!(keep ? ReadEntry(in, k, xref, out) : in.SkipValue(0))) return false;
    }
    // A dictionary followed by "stream" is a stream object. Read with its header, the bytes are
    // a window that may end before the object does, so their end leaves it open to doubt;
    // without it they are the object's whole text (as an object stream holds it), and nothing
    // need follow the dictionary.
    const Span after = in.Peek();
    if (after.kind == CPdfLexer::spanEnd) return !withHeader;
    return !in.IsWord(after, "stream");
}
}  // namespace

CPdfShallowReader::Result CPdfShallowReader::Read(const char* text, size_t length, bool withHeader,
                                                  int32_t number, int32_t generation,
                                                  CPdfResolver* xref, CPdfNodeEntries& out,
                                                  size_t& used) {
    Cursor in(text, length);
    bool done = ReadDictionary(in, withHeader, number, generation, xref, out);
    used = in.at;
    if (done) return taken;
    return in.ranOut ? truncated : declined;
}
