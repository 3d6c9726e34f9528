// Token reading: every byte sequence must become a token, with the values and boundaries that
// the object parser and the raw dictionary scanner rely on.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ParamName.h"
#include "object/CPdfLexer.h"
#include "stream/CPdfMemoryStream.h"

using namespace std::string_literals;

namespace {

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x20 || c >= 0x7F || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// One token as short text: I:5, R:0.5, B:1, null, K:obj, N:Name, S:literal, H:hex digits,
// error, end.
std::string DescribeToken(const CPdfObject& t) {
    switch (t.kind) {
        case kindInteger:
            return "I:" + std::to_string(t.intValue);
        case kindReal: {
            char buf[32];
            std::snprintf(buf, sizeof buf, "R:%g", t.realValue);
            return buf;
        }
        case kindBoolean:
            return t.boolValue ? "B:1" : "B:0";
        case kindNull:
            return "null";
        case kindKeyword:
            return "K:" + Printable(t.textValue);
        case kindName:
            return "N:" + Printable(t.textValue);
        case kindString:
            return (t.stringValue.decoded ? "S:" : "H:") + Printable(t.stringValue.data);
        case kindError:
            return "error";
        case kindEnd:
            return "end";
        default:
            return "kind " + std::to_string(t.kind);
    }
}

// All tokens of the input up to (not including) the end; checks that the end repeats.
std::string LexAll(const std::string& input) {
    auto bytes = std::make_shared<const std::string>(input);
    CPdfLexer lexer(std::make_shared<CPdfMemoryStream>(bytes, 0, bytes->size()));
    std::string out;
    CPdfObject token;
    for (size_t i = 0; i <= input.size(); ++i) {
        lexer.NextToken(token);
        if (token.kind == kindEnd) break;
        if (!out.empty()) out += ' ';
        out += DescribeToken(token);
    }
    EXPECT_EQ(token.kind, kindEnd) << "no end of input for " << Printable(input);
    for (int i = 0; i < 2; ++i) {
        lexer.NextToken(token);
        EXPECT_EQ(token.kind, kindEnd);
    }
    return out;
}

struct LexCase {
    std::string input;
    std::string tokens;
};

void PrintTo(const LexCase& c, std::ostream* os) {
    *os << Printable(c.input);
}

std::string LexCaseName(const ::testing::TestParamInfo<LexCase>& info) {
    return ParamName(info.index, info.param.input);
}

class LexerTokens : public ::testing::TestWithParam<LexCase> {};

TEST_P(LexerTokens, ProduceExpectedTokens) {
    const LexCase& c = GetParam();
    EXPECT_EQ(LexAll(c.input), c.tokens) << "input: " << Printable(c.input);
}

const LexCase kLiteralStrings[] = {
    {"(a(b)c)", "S:a(b)c"},
    {"(a\\)b) x", "S:a)b K:x"},
    {"(a\\(b)", "S:a(b"},
    {"(a\\\nb)", "S:ab"},
    {"(a\\\r\nb)", "S:ab"},
    {"(a\\\rb)", "S:ab"},
    {"(a\rb\nc)", "S:a\\x0db\\x0ac"},
    {"(\\53)", "S:+"},
    {"(\\0053)", "S:\\x053"},
    {"(\\777)", "S:\\xff"},
    {"(\\1a)", "S:\\x01a"},
    {"(\\n\\r\\t\\b\\f\\q\\\\)", "S:\\x0a\\x0d\\x09\\x08\\x0cq\\x5c"},
    {"(a%b)", "S:a%b"},
    {"(a\0b)"s, "S:a\\x00b"},
    {"()", "S:"},
    {"(abc", "S:abc"},
    {"(ab\\", "S:ab"},
    {"(a(b", "S:a(b"},
};
INSTANTIATE_TEST_SUITE_P(LiteralStrings, LexerTokens, ::testing::ValuesIn(kLiteralStrings),
                         LexCaseName);

const LexCase kHexStrings[] = {
    {"<41 42>", "H:41 42"},     {"<4a4B>", "H:4a4B"}, {"<>", "H:"},
    {"<abc", "H:abc"},          {"<zz(>", "H:zz("},   {"<<", "K:<<"},
    {"<<<>>>", "K:<< H: K:>>"},
};
INSTANTIATE_TEST_SUITE_P(HexStrings, LexerTokens, ::testing::ValuesIn(kHexStrings), LexCaseName);

const LexCase kNames[] = {
    {"/A#42", "N:AB"},       {"/A#4 x", "N:A#4 K:x"}, {"/A#4 /B", "N:A#4 N:B"},
    {"/A#4", "N:A#4"},       {"/A#zz", "N:A#zz"},     {"/A#00B", "N:A"},
    {"/A#4/B", "N:A#4 N:B"}, {"/A#4#41", "N:A#4A"},   {"/A##41", "N:A#A"},
    {"/A#2f", "N:A/"},       {"/ x", "N: K:x"},       {"//A", "N: N:A"},
    {"/A/B", "N:A N:B"},     {"/A(s)", "N:A S:s"},    {"/\x80\xff", "N:\\x80\\xff"},
};
INSTANTIATE_TEST_SUITE_P(Names, LexerTokens, ::testing::ValuesIn(kNames), LexCaseName);

const LexCase kNumbers[] = {
    {"0 17 -3", "I:0 I:17 I:-3"},
    {"-.5", "R:-0.5"},
    {"--5", "I:0 I:-5"},
    {"-", "I:0"},
    {"+5 +", "I:5 I:0"},
    {"1e5", "I:1 K:e5"},
    {"1.2.3", "R:1.2"},
    {".", "R:0"},
    {"-.", "R:0"},
    {"5.", "R:5"},
    {".5", "R:0.5"},
    {"007", "I:7"},
    {"4294967296", "I:4294967296"},
    {"-9223372036854775808", "I:-9223372036854775808"},
    {"9223372036854775807", "I:9223372036854775807"},
    // Integers too large for 64 bits are real numbers, read from the window or past its end.
    {"99999999999999999999", "R:1e+20"},
    {"-99999999999999999999 1", "R:-1e+20 I:1"},
    {"9223372036854775808", "R:9.22337e+18"},
    {"000000000000000000000000000000042", "I:42"},
    {"12(x)", "I:12 S:x"},
    {"1 0 R>>", "I:1 I:0 K:R K:>>"},
};
INSTANTIATE_TEST_SUITE_P(Numbers, LexerTokens, ::testing::ValuesIn(kNumbers), LexCaseName);

const LexCase kWordsAndDelimiters[] = {
    {"true false null", "B:1 B:0 null"},
    {"True NULL falsey", "K:True K:NULL K:falsey"},
    {"obj endobj R stream", "K:obj K:endobj K:R K:stream"},
    {"abc/Def", "K:abc N:Def"},
    {"[1]", "K:[ I:1 K:]"},
    {">> >x", "K:>> error K:x"},
    {") { }", "error error error"},
    {"\x80\xff", "K:\\x80\\xff"},
    {"% comment\n5", "I:5"},
    {"1%c\r2", "I:1 I:2"},
    {"%only a comment", ""},
    {"1\0\t\f\r\n 2"s, "I:1 I:2"},
    {"", ""},
};
INSTANTIATE_TEST_SUITE_P(WordsAndDelimiters, LexerTokens, ::testing::ValuesIn(kWordsAndDelimiters),
                         LexCaseName);

// Where inline image data ends, and when that end is in doubt (then nothing after it is read
// for names): the bytes after "ID", the declared length, the end readers find.
TEST(Lexer, InlineImageEndIsWhereReadersFindIt) {
    const struct {
        const char* name;
        std::string after;  // the bytes after "ID"
        int64_t declared;
        bool certain;
        std::string rest;  // what follows the "EI" found
    } cases[] = {
        {"ParenthesesInData", " ((\x01) EI /Im1 Do", -1, true, " /Im1 Do"},
        {"EIInsideAWordIsData", " aEIb EIx EI\n/F1", -1, true, "\n/F1"},
        {"EIBeforeADelimiter", " data\nEI/Im1 Do", -1, true, "/Im1 Do"},
        {"EIAtTheEnd", " data EI", -1, true, ""},
        {"DeclaredLengthOverLookAlikes", " EI( EI Q", 4, true, " Q"},
        {"DeclaredLengthWrong", " abc EI Q", 2, false, " Q"},
        {"NoEnd", " data", -1, false, ""},
        {"BinaryAfterTheEndFound", " \xff\x01 EI \x80\x81 EI Q", -1, false, " \x80\x81 EI Q"},
        {"DeclaredLengthWithoutEnd", " data", 4, false, ""},
    };
    for (const auto& c : cases) {
        size_t after = 0;
        EXPECT_EQ(CPdfLexer::InlineImageEnd(c.after.data(), c.after.size(), 0, c.declared, after),
                  c.certain)
            << c.name;
        EXPECT_EQ(c.after.substr(after), c.rest) << c.name;
    }
}

}  // namespace
