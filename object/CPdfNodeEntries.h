#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "object/CPdfObject.h"

class CPdfDictionary;
class CPdfResolver;

// The entries of a page tree node or a page that the page tree walk looks at, each as stored
// (references not resolved). Filled from a parsed dictionary or, for plain objects, straight
// from their bytes (CPdfShallowReader), without building a dictionary for every page of a long
// document; one record is reused from page to page.
class CPdfNodeEntries {
public:
    enum Key {
        keyKids,
        keyCount,
        keyResources,
        keyAnnots,
        keyContents,
        keyRotate,
        keyMediaBox,
        keyCropBox,
        kKeyCount
    };

    // One item of a /Kids array that holds only references.
    struct KidRef {
        int32_t number;
        int32_t generation;
    };

    explicit CPdfNodeEntries(CPdfResolver* table = nullptr) : xref(table) {}

    // The key whose name is text[0..length), or kKeyCount for one the walk does not look at.
    static Key KeyOf(const char* text, size_t length);
    // Takes the walk's entries from a dictionary (and its table).
    void TakeFrom(const CPdfDictionary& dict);
    // Empties the record.
    void Reset();
    // The slot for key's value, which the record now has.
    CPdfObject& Keep(Key key) {
        present |= 1u << key;
        return values[key];
    }

    bool Has(Key key) const { return (present >> key) & 1u; }
    // The value as stored; null when absent.
    CPdfObject Get(Key key) const;
    // The value with a reference resolved; null when absent.
    CPdfObject GetResolved(Key key) const;
    // Whether the record is a leaf of the page tree, a page: it has no /Kids. Its /Type is not
    // looked at, which files leave out or get wrong.
    bool IsLeaf() const { return !Has(keyKids); }

    CPdfResolver* xref;
    CPdfObject values[kKeyCount];  // meaningful for the keys the record has
    uint32_t present = 0;          // one bit per key the record has
    // A /Kids array of references only may be kept here instead, compactly (a node of a long
    // document has thousands), and a /MediaBox of four plain numbers as numbers; the value
    // slot of such a key stays unset.
    std::vector<KidRef> kidRefs;
    bool compactKids = false;
    double mediaBox[4] = {0, 0, 0, 0};
    bool compactMediaBox = false;
};
