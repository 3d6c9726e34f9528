// Fuzz target: the lexer's two modes and the compactor built on them. For any bytes:
// - the fast mode (NextSpan) finds the tokens NextToken finds, at the same places;
// - the compactor's output reads as exactly the tokens of its input, and parses to an equal
//   value, whether the bytes come whole or in pieces.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "object/CPdfCompactor.h"
#include "object/CPdfLexer.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfParser.h"
#include "object/CPdfReferenceMap.h"
#include "stream/CPdfMemoryStream.h"

namespace {

std::shared_ptr<CPdfMemoryStream> Over(const std::string& bytes) {
    auto copy = std::make_shared<const std::string>(bytes);
    return std::make_shared<CPdfMemoryStream>(copy, 0, copy->size());
}

// Each token as its kind and value, with where NextToken found it.
struct Token {
    std::string text;
    int64_t start, end;
};

std::vector<Token> Tokens(const std::string& bytes) {
    std::vector<Token> tokens;
    CPdfLexer lexer(Over(bytes));
    CPdfObject token;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        lexer.NextToken(token);
        if (token.kind == kindEnd) return tokens;
        std::string text = std::to_string(token.kind) + ":";
        if (token.kind == kindInteger) text += std::to_string(token.intValue);
        if (token.kind == kindReal) text += std::to_string(token.realValue);
        if (token.kind == kindBoolean) text += token.boolValue ? "t" : "f";
        text += token.textValue + "|" + token.stringValue.data +
                (token.stringValue.decoded ? "" : "<hex>");
        tokens.push_back({text, lexer.TokenStart(), lexer.TokenEnd()});
    }
    __builtin_trap();  // more tokens than bytes
}

// The objects the bytes parse to, written back as text.
std::string Parsed(const std::string& bytes) {
    CPdfSameNumbers same;
    CPdfObjectWriter writer(same);
    std::string out;
    try {
        CPdfParser parser(nullptr, Over(bytes));
        for (size_t i = 0; i <= bytes.size(); ++i) {
            CPdfObject value = parser.ParseObject();
            if (value.kind == kindEnd) break;
            out += std::to_string(value.kind) + " ";
            writer.Write(value, out);
            out += "\n";
        }
    } catch (const CPdfException& e) {
        out += e.GetMessage();
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::vector<Token> tokens = Tokens(input);

    // The fast mode agrees with NextToken on every token's place.
    size_t at = 0;
    for (const Token& token : tokens) {
        const CPdfLexer::Span span = CPdfLexer::NextSpan(input.data(), input.size(), at);
        if (span.kind == CPdfLexer::spanEnd || static_cast<int64_t>(span.start) != token.start ||
            static_cast<int64_t>(span.end) != token.end) {
            __builtin_trap();
        }
        at = span.end;
    }
    if (CPdfLexer::NextSpan(input.data(), input.size(), at).kind != CPdfLexer::spanEnd) {
        __builtin_trap();
    }

    // The compactor keeps every token and every value.
    const std::string compact = CPdfCompactor::Compact(input);
    const std::vector<Token> again = Tokens(compact);
    if (again.size() != tokens.size()) __builtin_trap();
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (again[i].text != tokens[i].text) __builtin_trap();
    }
    if (Parsed(compact) != Parsed(input)) __builtin_trap();

    // In pieces (their sizes taken from the input's bytes) it writes the same.
    std::string pieces;
    CPdfCompactor compactor(pieces);
    for (size_t i = 0; i < size;) {
        const size_t piece = std::min<size_t>(size - i, 1 + data[i] % 7);
        compactor.Add(input.data() + i, piece);
        i += piece;
    }
    compactor.EndValue();
    if (pieces != compact) __builtin_trap();
    return 0;
}
