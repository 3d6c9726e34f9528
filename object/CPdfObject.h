#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "object/CPdfString.h"

class CPdfArray;
class CPdfDictionary;
class CPdfStream;
class CPdfResolver;

// Kind codes of a value. The same value type carries the lexer's tokens, hence the
// keyword, error and end-of-input kinds.
enum CPdfKind : int32_t {
    kindBoolean = 0,
    kindInteger = 1,
    kindReal = 2,
    kindString = 4,
    kindName = 5,
    kindNull = 6,
    kindArray = 7,
    kindDictionary = 8,
    kindStream = 9,
    kindReference = 10,
    kindKeyword = 11,
    kindError = 12,
    kindEnd = 13,
    kindNone = 14
};

// A PDF value held by value. Names, keywords and strings are copied with the value; arrays,
// dictionaries and streams are shared between copies.
class CPdfObject {
public:
    CPdfObject() = default;
    explicit CPdfObject(CPdfKind k) : kind(k) {}

    static CPdfObject Integer(int64_t value);
    static CPdfObject Real(double value);
    static CPdfObject Boolean(bool value);
    static CPdfObject Reference(int32_t number, int32_t generation);

    // Releases the payload; the value becomes kindNone.
    void Clear();
    // Makes this value a copy of the source (containers shared).
    void CopyFrom(const CPdfObject& source) { *this = source; }

    void SetName(const std::string& text);
    void SetKeyword(const std::string& text);
    void SetString(const CPdfString& text);
    void NewArray(CPdfResolver* xref);
    void NewDictionary(CPdfResolver* xref);
    void SetDictionary(std::shared_ptr<CPdfDictionary> dict);
    // Makes this value a stream object: its dictionary, and the stream that delivers its data
    // (decrypted and decoded).
    void SetStream(std::shared_ptr<CPdfDictionary> dictionary, std::shared_ptr<CPdfStream> data);
    // The dictionary of a dictionary value or of a stream value; nullptr for any other kind.
    const CPdfDictionary* GetDict() const {
        return kind == kindDictionary || kind == kindStream ? dictValue.get() : nullptr;
    }

    // A reference is fetched through the table (null when it cannot be had); any other value,
    // or any value with a null table, is returned as it is. Throws what Fetch throws.
    CPdfObject Resolve(CPdfResolver* xref) const;

    bool IsKeyword(const char* text) const { return kind == kindKeyword && textValue == text; }
    template <size_t N>
    bool IsKeyword(const char (&text)[N]) const {
        return kind == kindKeyword && textValue.size() == N - 1 &&
               textValue.compare(0, N - 1, text, N - 1) == 0;
    }
    bool IsName(const char* text) const { return kind == kindName && textValue == text; }
    bool IsNumber() const { return kind == kindInteger || kind == kindReal; }
    double GetNumber() const { return kind == kindInteger ? double(intValue) : realValue; }

    CPdfKind kind = kindNone;
    bool boolValue = false;
    int64_t intValue = 0;
    double realValue = 0;
    int32_t refNumber = 0;
    int32_t refGeneration = 0;
    std::string textValue;  // name (without slash) or keyword text
    CPdfString stringValue;
    std::shared_ptr<CPdfArray> arrayValue;
    std::shared_ptr<CPdfDictionary> dictValue;  // also the dictionary of a stream value
    std::shared_ptr<CPdfStream> streamValue;
};
