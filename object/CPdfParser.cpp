#include "object/CPdfParser.h"

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "object/CPdfArray.h"
#include "object/CPdfDecryptor.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfFilters.h"
#include "object/CPdfScan.h"
#include "stream/CPdfMemoryStream.h"
#include "stream/CPdfStream.h"

CPdfParser::CPdfParser(CPdfResolver* table, std::shared_ptr<CPdfStream> stream)
    : xref(table), lexer(std::move(stream)) {
    ReadToken(0);
    ReadToken(1);
}

void CPdfParser::ReadToken(int slot) {
    lexer.NextToken(tokens[slot]);
    starts[slot] = lexer.TokenStart();
    ends[slot] = lexer.TokenEnd();
}

void CPdfParser::Shift() {
    // The two lookahead tokens live in a ring of two slots: shifting turns the ring instead
    // of moving values, and the freed slot is refilled in place.
    previousEnd = ends[cur];
    cur ^= 1;
    ReadToken(cur ^ 1);
}

namespace {
// The containers that scanning mode returns in place of the ones it does not build.
CPdfObject Hollow(CPdfKind kind) {
    static const auto array = std::make_shared<CPdfArray>(nullptr);
    static const auto dictionary = std::make_shared<CPdfDictionary>(nullptr);
    CPdfObject out(kind);
    if (kind == kindArray) out.arrayValue = array;
    if (kind == kindDictionary) out.dictValue = dictionary;
    return out;
}
}  // namespace

void CPdfParser::NoteType(const CPdfObject& type) {
    if (type.IsName("Page")) scan->hasPage = true;
    if (type.IsName("Pages")) scan->hasPages = true;
}

CPdfObject CPdfParser::ParseObject() {
    return ParseObject(0);
}

CPdfObject CPdfParser::ParseObject(int depth) {
    if (Cur().IsKeyword("[")) return ParseArray(depth + 1);
    if (Cur().IsKeyword("<<")) return ParseDictionary(depth + 1);
    if (Cur().kind == kindInteger) {
        int64_t n = Cur().intValue;
        int64_t start = CurrentStart();
        Shift();
        if (Cur().kind == kindInteger && Nxt().IsKeyword("R")) {
            CPdfObject ref = CPdfObject::Reference(static_cast<int32_t>(n),
                                                   static_cast<int32_t>(Cur().intValue));
            if (n < INT32_MIN || n > INT32_MAX || Cur().intValue < INT32_MIN ||
                Cur().intValue > INT32_MAX) {
                ref = CPdfObject(kindNull);  // a reference no table can hold
            }
            Shift();
            Shift();
            if (scan && ref.kind == kindReference) {
                scan->refs.push_back({start, previousEnd, ref.refNumber, ref.refGeneration});
            }
            return ref;
        }
        return CPdfObject::Integer(n);
    }
    if (scan && scan->wantStrings && Cur().kind == kindString) {
        scan->strings.push_back({CurrentStart(), CurrentEnd(), 0, 0});
    }
    CPdfObject out = std::move(tokens[cur]);
    Shift();
    if (decryptor && out.kind == kindString) {
        out.stringValue.data =
            decryptor->DecryptString(out.stringValue.Bytes(), objectNumber, objectGeneration);
        out.stringValue.decoded = true;
    }
    return out;
}

CPdfObject CPdfParser::ParseHollow(int depth) {
    // The scan's depths come back however the parse ends.
    struct Restore {
        CPdfScan& target;
        int arrays, dictionaries;
        ~Restore() {
            target.buildArrays = arrays;
            target.buildDictionaries = dictionaries;
        }
    } restore{*scan, scan->buildArrays, scan->buildDictionaries};
    scan->buildArrays = scan->buildDictionaries = 0;
    return ParseObject(depth);
}

CPdfObject CPdfParser::ParseArray(int depth) {
    if (depth > kMaxDepth) throw CPdfException(CPdfMessages::kNestedTooDeeply);
    Shift();
    CPdfObject out;
    if (scan && depth > scan->buildArrays) {
        while (!Cur().IsKeyword("]") && !AtObjectEnd()) ParseObject(depth);
        if (Cur().IsKeyword("]")) Shift();
        return Hollow(kindArray);
    }
    out.NewArray(xref);
    while (!Cur().IsKeyword("]") && !AtObjectEnd()) {
        out.arrayValue->Append(ParseObject(depth));
    }
    if (Cur().IsKeyword("]")) Shift();
    return out;
}

CPdfObject CPdfParser::ParseDictionary(int depth) {
    if (depth > kMaxDepth) throw CPdfException(CPdfMessages::kNestedTooDeeply);
    Shift();
    CPdfObject out;
    bool build = !scan || depth <= scan->buildDictionaries;
    out = build ? CPdfObject() : Hollow(kindDictionary);
    if (build) out.NewDictionary(xref);
    while (!Cur().IsKeyword(">>") && !AtObjectEnd()) {
        if (Cur().kind != kindName) {
            Shift();
            continue;
        }
        std::string key = std::move(Cur().textValue);
        Shift();
        // A key directly followed by the end of the dictionary or of the input has no value.
        if (Cur().kind == kindError || AtObjectEnd() || Cur().IsKeyword(">>")) {
            continue;
        }
        CPdfObject value;
        int64_t valueStart = CurrentStart();
        if (scan && depth == 1 && scan->buildValueOf && !scan->buildValueOf(key)) {
            value = ParseHollow(depth);
        } else {
            value = ParseObject(depth);
        }
        if (scan && depth == 1 && key == "Length" && scan->length.end == scan->length.start) {
            scan->length = {valueStart, previousEnd, 0, 0};
        }
        // What an object is, for the split job, is told by its top-level /Type.
        if (scan && depth == 1 && key == "Type") NoteType(value);
        if (build) out.dictValue->Set(std::move(key), std::move(value));
    }
    if (AtObjectEnd()) return out;
    // Only an indirect object can be a stream. A dictionary inside a value that is followed by
    // "stream" is not one: reading it as one would fetch its /Length, which may be another
    // such object, and so on, each level many times over.
    if (depth == 1 && Nxt().IsKeyword("stream")) {
        if (!scan || !scan->stopAtStream) return ParseStream(out);
        // The lookahead stops at "stream": the data after it is not read as tokens.
        scan->streamFollows = true;
        scan->dictionaryEnd = CurrentEnd();
        scan->streamKeywordEnd = ends[cur ^ 1];
        return out;
    }
    Shift();
    return out;
}

CPdfObject CPdfParser::ParseStream(const CPdfObject& dictionary) {
    streamDictionary = dictionary;
    lexer.SkipToStreamData();
    CPdfStream& input = lexer.CurrentStream();
    int64_t start = input.GetPos();
    CPdfObject length = dictionary.dictValue->GetResolved("Length");
    // A length that would carry the end of the data past the largest file offset cannot be
    // right, and would overflow the offset arithmetic below and in the sub-stream.
    if (length.kind != kindInteger || length.intValue < 0 || length.intValue > INT64_MAX - start) {
        return CPdfObject(kindError);
    }
    std::shared_ptr<CPdfStream> raw = input.MakeSubStream(start, length.intValue);
    if (!raw) return CPdfObject(kindError);
    // A file stream of length 0 would run to the end of the file: empty data is empty.
    if (length.intValue == 0) {
        raw = std::make_shared<CPdfMemoryStream>(std::make_shared<const std::string>(), 0, 0);
    }
    streamDataStart = start;
    streamDataLength = length.intValue;
    if (decryptor) {
        raw = decryptor->DecryptingStream(raw, dictionary, objectNumber, objectGeneration);
    }
    std::shared_ptr<CPdfStream> data = CPdfFilters::AddFilters(raw, dictionary);
    input.SetPos(start + length.intValue, 0);
    // The lookahead still holds ">>" and "stream"; read on from the end of the data.
    ReadToken(cur);
    ReadToken(cur ^ 1);
    if (!Cur().IsKeyword("endstream")) throw CPdfException(CPdfMessages::kMissingEndstream);
    Shift();
    CPdfObject out;
    if (data) {
        out.SetStream(dictionary.dictValue, std::move(data));
    } else {
        out.kind = kindError;
    }
    return out;
}
