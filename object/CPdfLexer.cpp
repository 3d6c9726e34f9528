#include "object/CPdfLexer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "object/CPdfInteger.h"
#include "stream/CPdfMemoryStream.h"
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
    for (int c = LookChar(); IsDigit(c) || c == '.'; c = LookChar()) {
        text.push_back(static_cast<char>(ReadChar()));
    }
    NumberValue(text.data(), text.size(), out);
}

void CPdfLexer::NumberValue(const char* text, size_t length, CPdfObject& out) {
    // A sign alone reads as 0, and an integer too large for 64 bits as a real number.
    out.Clear();
    const bool real = std::memchr(text, '.', length) != nullptr;
    int64_t value = 0;
    if (!real &&
        ((length == 1 && !IsDigit(text[0])) || CPdfInteger::Parse(text, text + length, value))) {
        out.kind = kindInteger;
        out.intValue = value;
    } else {
        out.kind = kindReal;
        out.realValue = std::strtod(std::string(text, length).c_str(), nullptr);
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
    // Runs of name bytes are taken from the window in one piece; "#" escapes are decoded at
    // the end, as NameText decodes them.
    const uint8_t *begin, *end;
    if (current->Window(begin, end)) {
        const uint8_t* p = begin;
        while (p < end && kClasses[*p] == regular) ++p;
        word.assign(reinterpret_cast<const char*>(begin), static_cast<size_t>(p - begin));
        current->Advance(p);
    }
    for (;;) {
        int c = LookChar();
        if (c < 0 || ClassOf(c) != regular) break;
        word.push_back(static_cast<char>(ReadChar()));
    }
    out.kind = kindName;
    if (word.find('#') != std::string::npos) word = NameText(word.data(), word.size());
}

std::string CPdfLexer::NameText(const char* text, size_t length) {
    std::string name;
    name.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        // "#" and two hex digits stand for one byte; a "#" without them is an ordinary byte,
        // and so is a single digit after it.
        if (c == '#' && i + 2 < length && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            c = static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        }
        if (c == '\0') break;  // a name ends at a zero byte
        name.push_back(c);
    }
    return name;
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

namespace {
bool IsNumberStart(unsigned char c) {
    return c == '-' || c == '+' || c == '.' || IsDigit(c);
}

// Just past the ")" that closes a literal string whose "(" is before from; closed is false when
// the bytes end first. A backslash takes the byte after it out of the count of parentheses.
size_t LiteralEnd(const char* text, size_t length, size_t from, bool& closed) {
    int64_t depth = 1;
    for (size_t i = from; i < length; ++i) {
        char c = text[i];
        if (c == '\\') {
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i + 1;
        }
    }
    closed = false;
    return length;
}
}  // namespace

CPdfLexer::Span CPdfLexer::NextSpan(const char* text, size_t length, size_t from,
                                    bool startInComment) {
    Span span;
    bool comment = startInComment;
    size_t i = from;
    for (;;) {
        if (comment) {
            while (i < length && text[i] != '\r' && text[i] != '\n') ++i;
            if (i == length) break;
            comment = false;
            ++i;
        }
        while (i < length && kClasses[static_cast<unsigned char>(text[i])] == whitespace) ++i;
        if (i == length || text[i] != '%') break;
        comment = true;
    }
    span.start = i;
    if (i >= length) {
        span.start = span.end = length;
        span.inComment = comment;
        return span;
    }
    const unsigned char c = static_cast<unsigned char>(text[i++]);
    auto regularRun = [&]() {
        while (i < length && kClasses[static_cast<unsigned char>(text[i])] == regular) ++i;
    };
    switch (c) {
        case '(':
            span.kind = spanLiteral;
            i = LiteralEnd(text, length, i, span.closed);
            break;
        case '<':
            if (i < length && text[i] == '<') {
                span.kind = spanDelimiter;
                ++i;
            } else {
                span.kind = spanHex;
                const void* close = std::memchr(text + i, '>', length - i);
                span.closed = close != nullptr;
                i = close ? static_cast<size_t>(static_cast<const char*>(close) - text) + 1
                          : length;
            }
            break;
        case '>':
            span.kind = i < length && text[i] == '>' ? spanDelimiter : spanError;
            if (span.kind == spanDelimiter) ++i;
            break;
        case ')':
        case '{':
        case '}':
            span.kind = spanError;
            break;
        case '[':
        case ']':
            span.kind = spanDelimiter;
            break;
        case '/':
            span.kind = spanName;
            regularRun();
            break;
        default:
            if (IsNumberStart(c)) {
                span.kind = spanNumber;
                while (i < length && (IsDigit(text[i]) || text[i] == '.')) ++i;
            } else {
                span.kind = spanWord;
                regularRun();
            }
    }
    span.end = i;
    if (i == length) {
        span.open = span.kind == spanName || span.kind == spanNumber || span.kind == spanWord ||
                    !span.closed || (span.kind == spanError && c == '>');
    }
    return span;
}

namespace {
// Whether bytes are text: printable ASCII and white space, as content operators are.
bool TextFollows(const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x7F || (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')) {
            return false;
        }
    }
    return true;
}
}  // namespace

bool CPdfLexer::InlineImageEnd(const char* text, size_t length, size_t from, int64_t declared,
                               size_t& after) {
    auto white = [&](size_t i) {
        return kClasses[static_cast<unsigned char>(text[i])] == whitespace;
    };
    // "EI" at i that ends the data: a delimiter, white space or the end after it.
    auto closesAt = [&](size_t i) {
        return i + 1 < length && text[i] == 'E' && text[i + 1] == 'I' &&
               (i + 2 == length || kClasses[static_cast<unsigned char>(text[i + 2])] != regular);
    };
    // One white-space byte separates "ID" from the data.
    const size_t data = from < length && white(from) ? from + 1 : from;
    if (declared >= 0 && static_cast<uint64_t>(declared) <= length - data) {
        size_t i = data + static_cast<size_t>(declared);
        while (i < length && white(i)) ++i;
        if (closesAt(i)) {
            after = i + 2;
            return true;
        }
    }
    for (size_t i = data; i < length; ++i) {
        const void* e = std::memchr(text + i, 'E', length - i);
        if (!e) break;
        i = static_cast<size_t>(static_cast<const char*>(e) - text);
        if (i > 0 && white(i - 1) && closesAt(i)) {
            after = i + 2;
            // Where a declared length says otherwise, readers may end the data at either; and
            // readers that decode the data to find its end may find a later "EI" where bytes
            // that are not text follow this one (binary data holding " EI ").
            return declared < 0 && TextFollows(text + after, std::min(length - after, size_t(32)));
        }
    }
    after = length;
    return false;
}

namespace {

// Where the parser stands in the dictionaries that a plain container holds, one level each:
// a key comes next, a value, or the generation or the "R" of a reference whose number was the
// last value. The parser skips a token that is not a name where a key belongs (so a "<<"
// there opens nothing): such a dictionary is not plain.
class PlainDictionaries {
public:
    enum Token { name, word, open, close, arrayOpen, arrayClose };

    explicit PlainDictionaries(bool dictionary) : inArray(!dictionary) {
        if (dictionary) levels[depth++] = key;
    }

    // Takes the next token (text for a word); false where the parser would read the tokens
    // otherwise than as plain keys and values.
    bool Take(Token token, const char* text, size_t length) {
        if (inArray) return TakeInArray(token);
        if (token == close) return Close();
        State& state = levels[depth - 1];
        switch (state) {
            case key:
                if (token == name) state = value;
                return token == name;
            case value:
                return TakeValue(token, text, length);
            case generation:
                if (token == name) state = value;
                if (token == word) state = referenceEnd;
                return token == name || token == word;
            case referenceEnd:
                if (token == name) state = value;
                if (token == word && length == 1 && *text == 'R') state = key;
                return token == name || (token == word && length == 1 && *text == 'R');
        }
        return false;
    }
    bool Done() const { return depth == 0 && !inArray; }

private:
    enum State { key, value, generation, referenceEnd };

    bool TakeInArray(Token token) {
        if (token == arrayClose) {
            inArray = false;
            if (depth > 0) levels[depth - 1] = key;
            return true;
        }
        return token == name || token == word;
    }
    bool TakeValue(Token token, const char* text, size_t length) {
        switch (token) {
            case name:
                levels[depth - 1] = key;
                return true;
            case word:
                // An unsigned integer may be the number of a reference.
                levels[depth - 1] =
                    std::all_of(text, text + length, [](char c) { return c >= '0' && c <= '9'; })
                        ? generation
                        : key;
                return true;
            case open:
                // Deeper than real page objects nest: the parser reads it.
                if (depth == kMaxLevels) return false;
                levels[depth++] = key;
                return true;
            case arrayOpen:
                inArray = true;
                return true;
            default:
                return false;
        }
    }
    bool Close() {
        // A key without a value before ">>" is dropped by the parser too.
        --depth;
        if (depth > 0) levels[depth - 1] = key;
        return true;
    }

    static constexpr size_t kMaxLevels = 32;
    State levels[kMaxLevels] = {};  // one per dictionary open
    size_t depth = 0;
    bool inArray;  // inside a flat array, which holds no container
};

}  // namespace

size_t CPdfLexer::PlainContainerEnd(const char* text, size_t length, size_t from, bool dictionary) {
    PlainDictionaries reader(dictionary);
    size_t i = from;
    while (i < length && !reader.Done()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (kClasses[c] == whitespace) {
            ++i;
            continue;
        }
        size_t end = i + 1;
        PlainDictionaries::Token token;
        const bool doubled = end < length && text[end] == text[i];
        if (c == '/' || kClasses[c] == regular) {
            while (end < length && kClasses[static_cast<unsigned char>(text[end])] == regular) {
                ++end;
            }
            token = c == '/' ? PlainDictionaries::name : PlainDictionaries::word;
        } else if (doubled && (c == '<' || c == '>')) {
            ++end;
            token = c == '<' ? PlainDictionaries::open : PlainDictionaries::close;
        } else if (c == '[' || c == ']') {
            token = c == '[' ? PlainDictionaries::arrayOpen : PlainDictionaries::arrayClose;
        } else {
            return 0;  // a string, a comment or a stray delimiter
        }
        if (!reader.Take(token, text + i, end - i)) return 0;
        i = end;
    }
    // The bytes end first; or a keyword "endobj" ends every container open, as the parser
    // reads it.
    static const char kEndobj[] = "endobj";
    if (!reader.Done() || memmem(text + from, i - from, kEndobj, sizeof kEndobj - 1)) return 0;
    return i;
}

void CPdfLexer::SkipToStreamData() {
    while (LookChar() == ' ' || LookChar() == '\t') ReadChar();
    if (LookChar() == '\r') {
        ReadChar();
        if (LookChar() == '\n') ReadChar();
    } else if (LookChar() == '\n') {
        ReadChar();
    }
}

size_t CPdfLexer::StreamDataOffset(const char* bytes, size_t count) {
    auto copy = std::make_shared<const std::string>(bytes, count);
    auto stream = std::make_shared<CPdfMemoryStream>(copy, 0, count);
    CPdfLexer lexer(stream);
    lexer.SkipToStreamData();
    return static_cast<size_t>(stream->GetPos());
}
