#pragma once

#include <memory>

#include "CPdfLimits.h"
#include "object/CPdfLexer.h"
#include "object/CPdfObject.h"

class CPdfDecryptor;
class CPdfStream;
class CPdfResolver;
struct CPdfScan;

// Reads complete PDF objects from a stream, with a two-token lookahead that tells an integer
// from an indirect reference. Arrays and dictionaries are bound to the given table (which may
// be null while cross-reference data itself is read).
class CPdfParser {
public:
    // Takes over the stream; reads the first two tokens.
    CPdfParser(CPdfResolver* xref, std::shared_ptr<CPdfStream> stream);

    // The next complete object. Malformed input yields keyword, kindError or kindEnd values;
    // arrays and dictionaries still open at "endobj" or at the end of the input end there.
    // Throws "Missing 'endstream'" when a stream's data is not followed by "endstream", and
    // "Objects are nested too deeply" beyond kMaxDepth levels of arrays and dictionaries.
    CPdfObject ParseObject();

    // Switches scanning mode on (scan not null) or off; the scan is filled by ParseObject.
    void SetScan(CPdfScan* target) { scan = target; }
    // Decrypts the strings and stream data parsed from here on as those of object number with
    // generation (target not null), or stops decrypting.
    void SetDecryption(const CPdfDecryptor* target, int32_t number, int32_t generation) {
        decryptor = target;
        objectNumber = number;
        objectGeneration = generation;
    }

    // Drops the current token and moves the lookahead on by one.
    void Shift();

    const CPdfObject& Current() const { return tokens[cur]; }
    // File positions of the first byte of the current token and just after its last byte.
    int64_t CurrentStart() const { return starts[cur]; }
    int64_t CurrentEnd() const { return ends[cur]; }
    // File position just after the last token consumed (the end of the last object parsed).
    int64_t PreviousEnd() const { return previousEnd; }

    // Where the data of the last stream object parsed begins, and its /Length; -1 when no
    // stream object has been parsed.
    int64_t StreamDataStart() const { return streamDataStart; }
    int64_t StreamDataLength() const { return streamDataLength; }
    // The dictionary of the last stream object met, also when its data could not be read.
    const CPdfObject& StreamDictionary() const { return streamDictionary; }

    static constexpr int kMaxDepth = CPdfLimits::kMaxValueDepth;

private:
    CPdfObject ParseObject(int depth);
    CPdfObject ParseArray(int depth);
    // A value parsed in scanning mode without building any container in it.
    CPdfObject ParseHollow(int depth);
    CPdfObject ParseDictionary(int depth);
    // Turns the dictionary just parsed into a stream value; kindError when its data cannot
    // be read.
    CPdfObject ParseStream(const CPdfObject& dictionary);

    void NoteType(const CPdfObject& type);
    // Whether the current token ends every array and dictionary still open: the end of the
    // input, or "endobj" (a damaged object whose closing bracket is missing ends there).
    bool AtObjectEnd() const {
        return tokens[cur].kind == kindEnd || tokens[cur].IsKeyword("endobj");
    }

    CPdfResolver* xref;
    CPdfScan* scan = nullptr;
    const CPdfDecryptor* decryptor = nullptr;
    int32_t objectNumber = 0;
    int32_t objectGeneration = 0;
    CPdfLexer lexer;
    void ReadToken(int slot);
    CPdfObject& Cur() { return tokens[cur]; }
    CPdfObject& Nxt() { return tokens[cur ^ 1]; }

    // The lookahead: tokens[cur] is the current token, tokens[cur ^ 1] the one after it.
    CPdfObject tokens[2];
    int64_t starts[2] = {0, 0};
    int64_t ends[2] = {0, 0};
    int cur = 0;
    int64_t previousEnd = 0;
    int64_t streamDataStart = -1;
    int64_t streamDataLength = -1;
    CPdfObject streamDictionary;
};
