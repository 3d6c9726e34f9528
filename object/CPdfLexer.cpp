#include "object/CPdfLexer.h"

#include <cstdlib>
#include <cstring>

#include "object/CPdfInteger.h"
#include "stream/CPdfStream.h"

namespace {
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsOctal(int c) {
    return c >= '0' && c <= '7';
}
int HexDigit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

// clang-format off
const CPdfLexer::ByteClass CPdfLexer::kClasses[256] = {
    whitespace, regular, regular, regular, regular, regular, regular, regular,
    regular, whitespace, whitespace, regular, whitespace, whitespace, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    whitespace, regular, regular, regular, regular, delimiter, regular, regular,
    delimiter, delimiter, regular, regular, regular, regular, regular, delimiter,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, delimiter, regular, delimiter, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, delimiter, regular, delimiter, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, delimiter, regular, delimiter, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
    regular, regular, regular, regular, regular, regular, regular, regular,
};
// clang-format on

CPdfLexer::CPdfLexer(std::shared_ptr<CPdfStream> stream) {
    current = stream.get();
    streams.push_back(std::move(stream));
}

int CPdfLexer::NextStream() {
    int c = -1;
    while (c < 0 && streamIndex + 1 < streams.size()) {
        current = streams[++streamIndex].get();
        c = current->GetChar();
    }
    return c;
}

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
    // White space runs are skipped within the stream's window, without a call per byte.
    const uint8_t *begin, *end;
    if (current->Window(begin, end)) {
        while (begin < end && kClasses[*begin] == whitespace) ++begin;
        current->Advance(begin);
    }
    for (;;) {
        c = ReadChar();
        if (c < 0) {
            out.kind = kindEnd;
            tokenStart = tokenEnd = current->GetPos();
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
    tokenStart = current->GetPos() - 1;
    switch (c) {
        case '(':
            ReadLiteralString(out);
            break;
        case '<':
            if (LookChar() == '<') {
                ReadChar();
                out.kind = kindKeyword;
                out.textValue.assign("<<", 2);
            } else {
                ReadHexString(out);
            }
            break;
        case '>':
            if (LookChar() == '>') {
                ReadChar();
                out.kind = kindKeyword;
                out.textValue.assign(">>", 2);
            } else {
                out.kind = kindError;
            }
            break;
        case ')':
        case '{':
        case '}':
            out.kind = kindError;
            break;
        case '[':
        case ']':
            out.kind = kindKeyword;
            out.textValue.assign(1, static_cast<char>(c));
            break;
        case '/':
            ReadName(out);
            break;
        default:
            if (c == '-' || c == '+' || c == '.' || IsDigit(c)) {
                ReadNumber(c, out);
            } else {
                ReadWord(c, out);
            }
    }
    tokenEnd = current->GetPos();
}

void CPdfLexer::ReadNumber(int first, CPdfObject& out) {
    // Short integers are read straight from the window; a point, a long run of digits, or a
    // window that ends inside the number takes the general way through the token text. A sign
    // alone reads as 0, and an integer too large for 64 bits as a real number.
    const uint8_t *begin, *end;
    if (first != '.' && current->Window(begin, end)) {
        const uint8_t* p = begin;
        while (p < end && IsDigit(*p)) ++p;
        char digits[24];
        const size_t count = static_cast<size_t>(p - begin);
        if (p < end && *p != '.' && count < sizeof digits) {
            digits[0] = static_cast<char>(first);
            std::memcpy(digits + 1, begin, count);
            int64_t value = 0;
            if ((count == 0 && !IsDigit(first)) ||
                CPdfInteger::Parse(digits, digits + count + 1, value)) {
                current->Advance(p);
                out.kind = kindInteger;
                out.intValue = value;
                return;
            }
        }
    }
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
    int64_t value = 0;
    if (!real && ((text.size() == 1 && !IsDigit(first)) ||
                  CPdfInteger::Parse(text.data(), text.data() + text.size(), value))) {
        out.kind = kindInteger;
        out.intValue = value;
    } else {
        out.kind = kindReal;
        out.realValue = std::strtod(text.c_str(), nullptr);
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
                case 'n':
                    text.push_back('\n');
                    continue;
                case 'r':
                    text.push_back('\r');
                    continue;
                case 't':
                    text.push_back('\t');
                    continue;
                case 'b':
                    text.push_back('\b');
                    continue;
                case 'f':
                    text.push_back('\f');
                    continue;
                case '\n':
                    continue;
                case '\r':
                    if (LookChar() == '\n') ReadChar();
                    continue;
                default:
                    break;
            }
            if (IsOctal(c)) {
                int value = c - '0';
                for (int k = 0; k < 2 && IsOctal(LookChar()); ++k)
                    value = value * 8 + ReadChar() - '0';
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
    std::string& word = out.textValue;
    word.clear();
    // Runs of plain name bytes are taken from the window in one piece.
    const uint8_t *begin, *end;
    if (current->Window(begin, end)) {
        const uint8_t* p = begin;
        while (p < end && kClasses[*p] == regular && *p != '#') ++p;
        word.assign(reinterpret_cast<const char*>(begin), static_cast<size_t>(p - begin));
        current->Advance(p);
    }
    for (;;) {
        int c = LookChar();
        if (c < 0 || ClassOf(c) != regular) break;
        ReadChar();
        // "#" and two hex digits stand for one byte; a "#" without them is an ordinary byte,
        // and so is a single digit after it.
        int high = c == '#' ? HexDigit(LookChar()) : -1;
        if (high >= 0) {
            int digit = ReadChar();
            int low = HexDigit(LookChar());
            if (low >= 0) {
                ReadChar();
                c = high * 16 + low;
            } else {
                word.push_back('#');
                c = digit;
            }
        }
        word.push_back(static_cast<char>(c));
    }
    out.kind = kindName;
    size_t zero = word.find('\0');  // a name ends at a zero byte
    if (zero != std::string::npos) word.resize(zero);
}

void CPdfLexer::ReadWord(int first, CPdfObject& out) {
    std::string& word = out.textValue;
    word.assign(1, static_cast<char>(first));
    const uint8_t *begin, *end;
    if (current->Window(begin, end)) {
        const uint8_t* p = begin;
        while (p < end && kClasses[*p] == regular) ++p;
        word.append(reinterpret_cast<const char*>(begin), static_cast<size_t>(p - begin));
        current->Advance(p);
    }
    for (;;) {
        int c = LookChar();
        if (c < 0 || ClassOf(c) != regular) break;
        word.push_back(static_cast<char>(ReadChar()));
    }
    out.kind = kindKeyword;
    if (word.size() == 4 && word == "true") {
        out.kind = kindBoolean;
        out.boolValue = true;
    } else if (word.size() == 5 && word == "false") {
        out.kind = kindBoolean;
        out.boolValue = false;
    } else if (word.size() == 4 && word == "null") {
        out.kind = kindNull;
    } else {
        size_t zero = word.find('\0');  // a keyword ends at a zero byte
        if (zero != std::string::npos) word.resize(zero);
        return;
    }
    word.clear();
}
