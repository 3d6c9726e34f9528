#pragma once

#include <memory>
#include <vector>

#include "object/CPdfObject.h"
#include "stream/CPdfStream.h"

class CPdfStream;

// Turns the bytes of one or more streams, read in order, into tokens. It never fails:
// every byte sequence yields some token, and the end of the input yields kindEnd.
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
    // Consumes bytes through the next end of line (LF, CR, or CR LF).
    void SkipLine();
    // The stream being read.
    CPdfStream& CurrentStream() { return *streams[streamIndex]; }

    // File position just after the last byte of the last token read.
    int64_t TokenEnd() const { return tokenEnd; }
    // File position of the first byte of the last token read.
    int64_t TokenStart() const { return tokenStart; }

    enum ByteClass : uint8_t { whitespace, delimiter, regular };
    static ByteClass ClassOf(int c) { return c < 0 ? regular : kClasses[c & 0xFF]; }

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
