#pragma once

#include <map>
#include <string>

#include "object/CPdfObject.h"

// A dictionary value, shared between the values that refer to it. Keys are ordered by
// unsigned byte comparison; the first occurrence of a key in the source wins.
class CPdfDictionary {
public:
    explicit CPdfDictionary(CPdfResolver* table) : xref(table) {}

    // The value stored under key, or null when there is none.
    CPdfObject Get(const std::string& key) const;
    // As Get, with an indirect reference fetched through xref. Throws what Fetch throws.
    CPdfObject GetResolved(const std::string& key) const;
    // True when /Type, as stored, is the name given.
    bool IsType(const char* type) const;
    bool Has(const std::string& key) const { return entries.count(key) != 0; }
    // Stores a copy under key unless the key is already present.
    void Set(const std::string& key, const CPdfObject& value) { entries.emplace(key, value); }
    void Set(std::string&& key, CPdfObject&& value) {
        entries.emplace(std::move(key), std::move(value));
    }
    size_t GetCount() const { return entries.size(); }
    // The key at position index (below GetCount) in key order.
    std::string GetKeyAt(size_t index) const;

    CPdfResolver* xref;
    std::map<std::string, CPdfObject> entries;
};
