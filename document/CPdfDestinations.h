#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "object/CPdfObject.h"

class CPdfXRef;

// One named destination: its name's bytes, its value as stored, and the page object it opens
// (0 when it opens none of the document's pages).
struct CPdfNamedDestination {
    std::string name;
    CPdfObject value;
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

    // The positions in entries of the destinations that open page object page, in name order.
    const std::vector<uint32_t>& OnPage(bool inTree, int32_t page) const;

    bool HasTree() const { return hasTree; }
    bool HasDictionary() const { return hasDictionary; }

    // Sorted by name, each name once (the first of a name wins).
    std::vector<CPdfNamedDestination> tree;        // the /Names /Dests tree
    std::vector<CPdfNamedDestination> dictionary;  // the catalog's /Dests dictionary

private:
    // The value of name among the named destinations; null when there is none.
    CPdfObject Find(const std::string& name) const;
    static void SortAndIndex(std::vector<CPdfNamedDestination>& list,
                             std::unordered_map<int32_t, std::vector<uint32_t>>& byPage);
    int32_t PageOfValue(CPdfObject destination, bool followNames) const;

    CPdfXRef* xref = nullptr;
    bool hasTree = false;
    bool hasDictionary = false;
    std::unordered_map<int32_t, std::vector<uint32_t>> treeByPage;
    std::unordered_map<int32_t, std::vector<uint32_t>> dictionaryByPage;
};
