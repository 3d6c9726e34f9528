#include "object/CPdfParser.h"

#include "CPdfException.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfStream.h"

CPdfParser::CPdfParser(CPdfXRef* table, std::shared_ptr<CPdfStream> stream)
    : xref(table), lexer(std::move(stream)) {
    lexer.NextToken(current);
    currentStart = lexer.TokenStart();
    currentEnd = lexer.TokenEnd();
    lexer.NextToken(next);
    nextStart = lexer.TokenStart();
    nextEnd = lexer.TokenEnd();
}

void CPdfParser::Shift() {
    previousEnd = currentEnd;
    current = std::move(next);
    currentStart = nextStart;
    currentEnd = nextEnd;
    lexer.NextToken(next);
    nextStart = lexer.TokenStart();
    nextEnd = lexer.TokenEnd();
}

CPdfObject CPdfParser::ParseObject() { return ParseObject(0); }

CPdfObject CPdfParser::ParseObject(int depth) {
    if (current.IsKeyword("[")) return ParseArray(depth + 1);
    if (current.IsKeyword("<<")) return ParseDictionary(depth + 1);
    if (current.kind == kindInteger) {
        int64_t n = current.intValue;
        Shift();
        if (current.kind == kindInteger && next.IsKeyword("R")) {
            CPdfObject ref = CPdfObject::Reference(static_cast<int32_t>(n),
                                                   static_cast<int32_t>(current.intValue));
            if (n < INT32_MIN || n > INT32_MAX || current.intValue < INT32_MIN ||
                current.intValue > INT32_MAX) {
                ref = CPdfObject(kindNull);  // a reference no table can hold
            }
            Shift();
            Shift();
            return ref;
        }
        return CPdfObject::Integer(n);
    }
    CPdfObject out = current;
    Shift();
    return out;
}

CPdfObject CPdfParser::ParseArray(int depth) {
    if (depth > kMaxDepth) throw CPdfException("Objects are nested too deeply");
    Shift();
    CPdfObject out;
    out.NewArray(xref);
    while (!current.IsKeyword("]") && current.kind != kindEnd) {
        out.arrayValue->Append(ParseObject(depth));
    }
    if (current.kind != kindEnd) Shift();
    return out;
}

CPdfObject CPdfParser::ParseDictionary(int depth) {
    if (depth > kMaxDepth) throw CPdfException("Objects are nested too deeply");
    Shift();
    CPdfObject out;
    out.NewDictionary(xref);
    while (!current.IsKeyword(">>") && current.kind != kindEnd) {
        if (current.kind != kindName) {
            Shift();
            continue;
        }
        std::string key = current.textValue;
        Shift();
        // A key directly followed by the end of the dictionary or of the input has no value.
        if (current.kind == kindError || current.kind == kindEnd || current.IsKeyword(">>")) {
            continue;
        }
        out.dictValue->Set(key, ParseObject(depth));
    }
    if (current.kind == kindEnd) return out;
    if (next.IsKeyword("stream")) return ParseStream(out);
    Shift();
    return out;
}

CPdfObject CPdfParser::ParseStream(const CPdfObject& dictionary) {
    streamDictionary = dictionary;
    lexer.SkipLine();
    CPdfStream& input = lexer.CurrentStream();
    int64_t start = input.GetPos();
    CPdfObject length = dictionary.dictValue->GetResolved("Length");
    if (length.kind != kindInteger || length.intValue < 0) return CPdfObject(kindError);
    std::shared_ptr<CPdfStream> raw = input.MakeSubStream(start, length.intValue, dictionary);
    if (!raw) return CPdfObject(kindError);
    streamDataStart = start;
    streamDataLength = length.intValue;
    std::shared_ptr<CPdfStream> data = CPdfStream::AddFilters(raw, dictionary);
    input.SetPos(start + length.intValue, 0);
    // The lookahead still holds ">>" and "stream"; read on from the end of the data.
    lexer.NextToken(current);
    currentStart = lexer.TokenStart();
    currentEnd = lexer.TokenEnd();
    lexer.NextToken(next);
    nextStart = lexer.TokenStart();
    nextEnd = lexer.TokenEnd();
    if (!current.IsKeyword("endstream")) throw CPdfException("Missing 'endstream'");
    Shift();
    CPdfObject out;
    if (data) {
        out.SetStream(std::move(data));
    } else {
        out.kind = kindError;
    }
    return out;
}
