#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "object/CPdfObject.h"

class CPdfXRef;

// One named destination, compactly (a long manual has tens of thousands): its name's bytes and,
// for a value that is not a reference, the value's text, both in the list's pool; the object
// its value names; and the page object it opens (0 when it opens none of the document's pages).
struct CPdfNamedDestination {
    uint32_t nameAt = 0, nameLength = 0;
    uint32_t textAt = 0, textLength = 0;  // the value's text when it is not a reference
    int32_t refNumber = 0, refGeneration = 0;
    int32_t page = 0;
};

// The document's named destinations, from the /Dests name tree of the catalog's /Names and
// from the older /Dests dictionary of the catalog, and what any destination opens.
class CPdfDestinations {
public:
    // Reads both; catalog is the catalog dictionary. Throws what fetching objects throws.
    void Load(CPdfXRef* xref, const CPdfObject& catalog);

    // The page object that a destination opens: an explicit destination (an array whose
    // first item names the page), a dictionary with /D, or a name or string looked up among
    // the named destinations (the dictionary's first, then the tree's). 0 when unknown.
    int32_t PageOf(const CPdfObject& destination) const;

    // The positions (see NameOf, ValueOf) of the destinations that open page object page, in
    // name order: the range from first to second.
    std::pair<const uint32_t*, const uint32_t*> OnPage(bool inTree, int32_t page) const;
    // The name's bytes and the value as stored (a reference is not resolved) of the
    // destination at position k of the tree or the dictionary.
    std::string NameOf(bool inTree, uint32_t k) const;
    CPdfObject ValueOf(bool inTree, uint32_t k) const;

    bool HasTree() const { return hasTree; }
    bool HasDictionary() const { return hasDictionary; }

private:
    // Destinations sorted by name, each name once (the first of a name wins), with the pool
    // that holds their names' and values' bytes.
    struct List {
        std::vector<CPdfNamedDestination> items;
        std::string pool;
        // The positions of the destinations that open a page, by page object, then in name
        // order.
        std::vector<uint32_t> byPage;

        void Add(const std::string& name, const CPdfObject& value);
        std::string Name(const CPdfNamedDestination& d) const {
            return pool.substr(d.nameAt, d.nameLength);
        }
    };

    // The value of name among the named destinations; null when there is none.
    CPdfObject Find(const std::string& name) const;
    CPdfObject Value(const List& list, const CPdfNamedDestination& d) const;
    // Sorts by name, keeps the first of each name, finds the pages and indexes them.
    void Finish(List& list);
    int32_t PageOfValue(CPdfObject destination, bool followNames) const;

    CPdfXRef* xref = nullptr;
    bool hasTree = false;
    bool hasDictionary = false;
    List tree;        // the /Names /Dests tree
    List dictionary;  // the catalog's /Dests dictionary
};
