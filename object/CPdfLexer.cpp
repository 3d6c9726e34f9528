#include "object/CPdfLexer.h"

#include <cerrno>
#include <cstdlib>

#include "stream/CPdfStream.h"

namespace {
bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsOctal(int c) { return c >= '0' && c <= '7'; }
int HexDigit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The C library's atoi, but saturating instead of overflowing.
int64_t ParseInteger(const std::string& text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        int digit = text[i] - '0';
        if (value > (INT64_MAX - digit) / 10) return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}
}  // namespace

CPdfLexer::ByteClass CPdfLexer::ClassOf(int c) {
    switch (c) {
        case 0x00: case 0x09: case 0x0A: case 0x0C: case 0x0D: case 0x20:
            return whitespace;
        case '%': case '(': case ')': case '/': case '<': case '>': case '[': case ']':
        case '{': case '}':
            return delimiter;
        default:
            return regular;
    }
}

CPdfLexer::CPdfLexer(std::shared_ptr<CPdfStream> stream) { streams.push_back(std::move(stream)); }

int CPdfLexer::ReadChar() {
    int c = streams[streamIndex]->GetChar();
    while (c < 0 && streamIndex + 1 < streams.size()) {
        ++streamIndex;
        c = streams[streamIndex]->GetChar();
    }
    return c;
}

int CPdfLexer::LookChar() { return streams[streamIndex]->LookChar(); }

void CPdfLexer::SkipLine() {
    for (;;) {
        int c = ReadChar();
        if (c < 0 || c == '\n') return;
        if (c == '\r') {
            if (LookChar() == '\n') ReadChar();
            return;
        }
    }
}

void CPdfLexer::NextToken(CPdfObject& out) {
    out.Clear();
    int c;
    bool comment = false;
    for (;;) {
        c = ReadChar();
        if (c < 0) {
            out.kind = kindEnd;
            tokenStart = tokenEnd = streams[streamIndex]->GetPos();
            return;
        }
        if (comment) {
            if (c == '\r' || c == '\n') comment = false;
        } else if (c == '%') {
            comment = true;
        } else if (ClassOf(c) != whitespace) {
            break;
        }
    }
    tokenStart = streams[streamIndex]->GetPos() - 1;
    switch (c) {
        case '(':
            ReadLiteralString(out);
            break;
        case '<':
            if (LookChar() == '<') {
                ReadChar();
                out.SetKeyword("<<");
            } else {
                ReadHexString(out);
            }
            break;
        case '>':
            if (LookChar() == '>') {
                ReadChar();
                out.SetKeyword(">>");
            } else {
                out.kind = kindError;
            }
            break;
        case ')': case '{': case '}':
            out.kind = kindError;
            break;
        case '[':
            out.SetKeyword("[");
            break;
        case ']':
            out.SetKeyword("]");
            break;
        case '/':
            ReadName(out);
            break;
        default:
            if (c == '-' || c == '.' || IsDigit(c)) {
                ReadNumber(c, out);
            } else {
                ReadWord(c, out);
            }
    }
    tokenEnd = streams[streamIndex]->GetPos();
}

void CPdfLexer::ReadNumber(int first, CPdfObject& out) {
    text.assign(1, static_cast<char>(first));
    bool real = first == '.';
    for (;;) {
        int c = LookChar();
        if (IsDigit(c)) {
            text.push_back(static_cast<char>(ReadChar()));
        } else if (c == '.') {
            text.push_back(static_cast<char>(ReadChar()));
            real = true;
        } else {
            break;
        }
    }
    if (real) {
        out.kind = kindReal;
        out.realValue = std::strtod(text.c_str(), nullptr);
    } else {
        out.kind = kindInteger;
        out.intValue = ParseInteger(text);
    }
}

void CPdfLexer::ReadLiteralString(CPdfObject& out) {
    text.clear();
    int depth = 1;
    for (;;) {
        int c = ReadChar();
        if (c < 0) break;
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) break;
        } else if (c == '\\') {
            c = ReadChar();
            if (c < 0) break;
            switch (c) {
                case 'n': text.push_back('\n'); continue;
                case 'r': text.push_back('\r'); continue;
                case 't': text.push_back('\t'); continue;
                case 'b': text.push_back('\b'); continue;
                case 'f': text.push_back('\f'); continue;
                case '\n': continue;
                case '\r':
                    if (LookChar() == '\n') ReadChar();
                    continue;
                default:
                    break;
            }
            if (IsOctal(c)) {
                int value = c - '0';
                for (int k = 0; k < 2 && IsOctal(LookChar()); ++k) value = value * 8 + ReadChar() - '0';
                c = value & 0xFF;
            }
        }
        text.push_back(static_cast<char>(c));
    }
    out.SetString(CPdfString(text.data(), text.size()));
}

void CPdfLexer::ReadHexString(CPdfObject& out) {
    text.clear();
    for (;;) {
        int c = ReadChar();
        if (c < 0 || c == '>') break;
        text.push_back(static_cast<char>(c));
    }
    CPdfString s(text.data(), text.size());
    s.decoded = false;
    out.SetString(s);
}

void CPdfLexer::ReadName(CPdfObject& out) {
    text.clear();
    for (;;) {
        int c = LookChar();
        if (c < 0 || ClassOf(c) != regular) break;
        ReadChar();
        if (c == '#') {
            int high = HexDigit(LookChar());
            if (high >= 0) {
                ReadChar();
                int low = HexDigit(ReadChar());
                c = high * 16 + (low < 0 ? 0 : low);
            }
        }
        text.push_back(static_cast<char>(c));
    }
    out.SetName(text);
}

void CPdfLexer::ReadWord(int first, CPdfObject& out) {
    text.assign(1, static_cast<char>(first));
    for (;;) {
        int c = LookChar();
        if (c < 0 || ClassOf(c) != regular) break;
        text.push_back(static_cast<char>(ReadChar()));
    }
    if (text == "true" || text == "false") {
        out = CPdfObject::Boolean(text == "true");
    } else if (text == "null") {
        out.kind = kindNull;
    } else {
        out.SetKeyword(text);
    }
}
