#pragma once

#include <memory>
#include <vector>

#include "object/CPdfObject.h"
#include "stream/CPdfStream.h"

class CPdfStream;

// Turns the bytes of one or more streams, read in order, into tokens. It never fails:
// every byte sequence yields some token, and the end of the input yields kindEnd.
//
// Everything in the program that reads PDF syntax goes through it: the parser, and through
// its fast mode (NextSpan, which finds tokens in bytes held in memory without building their
// values) the compactor, the content scan and the quick page reader. The two modes find the
// same tokens at the same places (a fuzz target holds them to it).
class CPdfLexer {
public:
    explicit CPdfLexer(std::shared_ptr<CPdfStream> stream);

    // Reads the next token into out (which is overwritten).
    void NextToken(CPdfObject& out);
    // The next byte, moving on to the next stream at the end of one; -1 at the very end.
    int ReadChar() {
        int c = current->GetChar();
        return c >= 0 ? c : NextStream();
    }
    // The next byte of the current stream, not consumed.
    int LookChar() { return current->LookChar(); }
    // After the keyword "stream": consumes what comes before the stream's data (see
    // StreamDataOffset).
    void SkipToStreamData();
    // The stream being read.
    CPdfStream& CurrentStream() { return *streams[streamIndex]; }

    // File position just after the last byte of the last token read.
    int64_t TokenEnd() const { return tokenEnd; }
    // File position of the first byte of the last token read.
    int64_t TokenStart() const { return tokenStart; }

    enum ByteClass : uint8_t { whitespace, delimiter, regular };
    static ByteClass ClassOf(int c) { return c < 0 ? regular : kClasses[c & 0xFF]; }

    // --- The fast mode ---
    // What a token found by NextSpan is. Numbers, keywords, true, false and null are runs of
    // regular bytes: a number is a sign, point or digit followed by digits and points, a word
    // any other such run (NextToken reads "12ab" as 12 and "ab" too).
    enum SpanKind : uint8_t {
        spanEnd,        // no token before the end of the bytes
        spanName,       // "/" and the regular bytes after it ("/" alone is the empty name)
        spanLiteral,    // "(...)"
        spanHex,        // "<...>"
        spanNumber,     //
        spanWord,       //
        spanDelimiter,  // "[", "]", "<<" or ">>"
        spanError       // a stray ")", ">", "{" or "}"
    };
    struct Span {
        size_t start = 0;  // the token's first byte (spanEnd: the end of the bytes)
        size_t end = 0;    // just after its last byte
        SpanKind kind = spanEnd;
        // Strings: closed by their own ")" or ">" (false when the bytes ran out first).
        bool closed = true;
        // spanEnd: the bytes end inside a comment.
        bool inComment = false;
        // The bytes end within the token or right after it, and more bytes could make it
        // longer or another token (a name, number or word; a string not closed; ">").
        bool open = false;
    };
    // The first token in text[from, length), after white space and comments (from inside a
    // comment when startInComment is set), as NextToken would find it there.
    static Span NextSpan(const char* text, size_t length, size_t from, bool startInComment = false);
    // The value of a number token (a spanNumber's bytes): an integer, or a real number where
    // it has a point or its digits do not fit in 64 bits; a sign or point alone reads as 0.
    static void NumberValue(const char* text, size_t length, CPdfObject& out);
    // The value of a name from the bytes after its "/": "#" and two hex digits stand for one
    // byte, and the name ends at a zero byte.
    static std::string NameText(const char* text, size_t length);
    // Where an inline image's data ends: from is just after its "ID" keyword, declared its /L
    // or /Length (-1 when it gives none). after is set just past the "EI" that ends the data,
    // as readers find it: declared bytes on, or else the first "EI" with white space before it
    // and white space, a delimiter or the end of the bytes after it. False when that end is in
    // doubt: no such "EI", none where the declared length says, or bytes that are not text
    // right after the "EI" found (it may lie inside binary data).
    static bool InlineImageEnd(const char* text, size_t length, size_t from, int64_t declared,
                               size_t& after);
    // The fast way over a container of plain tokens, as the parser reads it: from is just after
    // its "<<" (dictionary true; dictionaries and flat arrays may be in it) or its "[" (a flat
    // array). Returns the position just after its closing ">>" or "]" where everything in it
    // is names, numbers, keywords (not "endobj") and white space; 0 where anything else comes
    // first, or the bytes end, and the tokens must be read one by one.
    static size_t PlainContainerEnd(const char* text, size_t length, size_t from, bool dictionary);
    // How many bytes after the keyword "stream" (bytes following it, up to count) come before
    // the stream's data: spaces, then an end of line (CR LF, LF or CR).
    static size_t StreamDataOffset(const char* bytes, size_t count);

private:
    static const ByteClass kClasses[256];

    int NextStream();
    void ReadNumber(int first, CPdfObject& out);
    void ReadLiteralString(CPdfObject& out);
    void ReadHexString(CPdfObject& out);
    void ReadName(CPdfObject& out);
    void ReadWord(int first, CPdfObject& out);

    std::vector<std::shared_ptr<CPdfStream>> streams;
    size_t streamIndex = 0;
    CPdfStream* current;
    int64_t tokenStart = 0;
    int64_t tokenEnd = 0;
    std::string text;
};
