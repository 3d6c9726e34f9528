#include "object/CPdfRawDictionary.h"

#include "object/CPdfParser.h"
#include "stream/CPdfMemoryStream.h"

bool CPdfRawDictionary::Scan(const std::string& text) {
    entries.clear();
    auto bytes = std::make_shared<const std::string>(text);
    CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(bytes, 0, bytes->size()));
    for (int k = 0; k < 3; ++k) parser.ParseObject();  // "N G obj"
    if (!parser.Current().IsKeyword("<<")) return false;
    open = static_cast<size_t>(parser.CurrentEnd());
    parser.Shift();
    // A dictionary whose closing ">>" is missing ends at "endobj", as the parser reads it.
    while (!parser.Current().IsKeyword(">>") && !parser.Current().IsKeyword("endobj")) {
        if (parser.Current().kind == kindEnd) return false;
        if (parser.Current().kind != kindName) {
            parser.Shift();
            continue;
        }
        CPdfRawEntry entry;
        entry.key = parser.Current().textValue;
        entry.keyStart = static_cast<size_t>(parser.CurrentStart());
        entry.keyEnd = static_cast<size_t>(parser.CurrentEnd());
        parser.Shift();
        if (parser.Current().kind == kindError || parser.Current().IsKeyword(">>") ||
            parser.Current().IsKeyword("endobj")) {
            continue;
        }
        entry.valueStart = static_cast<size_t>(parser.CurrentStart());
        entry.value = parser.ParseObject();
        entry.valueEnd = static_cast<size_t>(parser.PreviousEnd());
        if (!Find(entry.key)) entries.push_back(std::move(entry));
    }
    close = static_cast<size_t>(parser.CurrentStart());
    return true;
}

const CPdfRawEntry* CPdfRawDictionary::Find(const std::string& key) const {
    for (const CPdfRawEntry& e : entries) {
        if (e.key == key) return &e;
    }
    return nullptr;
}
