#pragma once

#include <vector>

#include "object/CPdfObject.h"

// An array value, shared between the values that refer to it.
class CPdfArray {
public:
    explicit CPdfArray(CPdfResolver* table) : xref(table) {}

    size_t GetCount() const { return items.size(); }
    // The item at index (below GetCount), as stored.
    const CPdfObject& GetAt(size_t index) const { return items[index]; }
    // The item at index with a reference resolved through xref.
    CPdfObject GetResolvedAt(size_t index) const { return items[index].Resolve(xref); }
    void Append(const CPdfObject& value) { items.push_back(value); }
    void Append(CPdfObject&& value) { items.push_back(std::move(value)); }

    CPdfResolver* xref;
    std::vector<CPdfObject> items;
};
