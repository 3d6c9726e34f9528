#include "object/CPdfNodeEntries.h"

#include <cstring>

#include "object/CPdfDictionary.h"

namespace {
const char* const kKeyNames[CPdfNodeEntries::kKeyCount] = {
    "Kids", "Count", "Resources", "Annots", "Contents", "Rotate", "MediaBox", "CropBox"};
}

CPdfNodeEntries::Key CPdfNodeEntries::KeyOf(const char* text, size_t length) {
    // Every page's keys come through here: told apart by length before any comparison.
    auto is = [&](Key k) { return std::memcmp(kKeyNames[k], text, length) == 0 ? k : kKeyCount; };
    switch (length) {
        case 4:
            return is(keyKids);
        case 5:
            return is(keyCount);
        case 6:
            return text[0] == 'A' ? is(keyAnnots) : is(keyRotate);
        case 7:
            return is(keyCropBox);
        case 8:
            return text[0] == 'C' ? is(keyContents) : is(keyMediaBox);
        case 9:
            return is(keyResources);
        default:
            return kKeyCount;
    }
}

void CPdfNodeEntries::TakeFrom(const CPdfDictionary& dict) {
    Reset();
    xref = dict.xref;
    for (int k = 0; k < kKeyCount; ++k) {
        auto it = dict.entries.find(kKeyNames[k]);
        if (it != dict.entries.end()) Keep(static_cast<Key>(k)) = it->second;
    }
}

void CPdfNodeEntries::Reset() {
    for (int k = 0; k < kKeyCount; ++k) {
        if (values[k].kind != kindNone) values[k].Clear();
    }
    present = 0;
    kidRefs.clear();
    compactKids = false;
    compactMediaBox = false;
}

CPdfObject CPdfNodeEntries::Get(Key key) const {
    return Has(key) ? values[key] : CPdfObject(kindNull);
}

CPdfObject CPdfNodeEntries::GetResolved(Key key) const {
    return Has(key) ? values[key].Resolve(xref) : CPdfObject(kindNull);
}
