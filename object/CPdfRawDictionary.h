#pragma once

#include <string>
#include <vector>

#include "object/CPdfObject.h"

// One top-level entry of a dictionary in raw object text, with byte positions in the text.
struct CPdfRawEntry {
    std::string key;
    size_t keyStart = 0;    // the "/" of the key
    size_t keyEnd = 0;      // just after the key
    size_t valueStart = 0;  // the value's first byte
    size_t valueEnd = 0;    // just after the value's last byte
    CPdfObject value;       // the value as parsed (references not resolved)
};

// Locates the top-level keys and values of the dictionary in an object's raw text
// ("N G obj << ... >> ..."), so that single entries can be copied or replaced byte for byte.
class CPdfRawDictionary {
public:
    // Scans the text; false when the object is not a dictionary (or a stream dictionary).
    // Throws what the parser throws on objects nested too deeply.
    bool Scan(const std::string& text);

    // The entry stored under key, or nullptr.
    const CPdfRawEntry* Find(const std::string& key) const;
    // The bytes of an entry's value.
    std::string ValueText(const std::string& text, const CPdfRawEntry& entry) const {
        return text.substr(entry.valueStart, entry.valueEnd - entry.valueStart);
    }

    size_t open = 0;   // just after the dictionary's "<<"
    size_t close = 0;  // the dictionary's ">>"
    std::vector<CPdfRawEntry> entries;
};
