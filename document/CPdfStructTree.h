#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "object/CPdfObject.h"

class CPdfResolver;

// One structure element: where it is, where it stands in the tree, and the pages its own
// content lies on.
struct CPdfStructElement {
    int32_t number = 0;
    int32_t generation = 0;
    int32_t parent = -1;         // index of the element that holds it; -1: the root holds it
    std::vector<int32_t> kids;   // indices of the elements it holds
    std::vector<int32_t> pages;  // page objects of its marked content and object references
    int32_t page = 0;            // its /Pg, or the nearest holder's; 0: none
    std::vector<uint32_t> ids;   // positions in CPdfStructTree::ids that name it
};

// The document's structure tree (the catalog's /StructTreeRoot), read once per run: the
// elements, which pages their content lies on, the parent tree and the ID tree. Elements are
// indirect objects; one met twice is read once, and the elements and levels read are bounded
// (CPdfLimits). A content item without a page lies on every page (it is kept with any).
class CPdfStructTree {
public:
    // Reads the tree that the catalog names. Throws what fetching objects throws.
    void Load(CPdfResolver* xref, const CPdfObject& catalog);

    bool IsPresent() const { return present; }
    // The elements with content on page object page.
    const std::vector<int32_t>& ElementsOn(int32_t page) const;
    // The index of the element that is object number, or -1.
    int32_t ElementOf(int32_t number) const;
    // The value that the parent tree gives key, or null.
    CPdfObject ParentTreeValue(int64_t key) const;
    // Whether a /K item (resolved) is marked content or an object reference rather than an
    // element; its page (its /Pg, else elementPage) goes to page.
    static bool IsContentItem(const CPdfObject& item, int32_t elementPage, int32_t& page);

    int32_t rootNumber = 0;  // 0 when the root is a direct dictionary
    int32_t rootGeneration = 0;
    CPdfObject root;                                     // the root's dictionary
    std::vector<CPdfStructElement> elements;             // in the order they were read
    std::vector<int32_t> top;                            // the elements the root holds, in order
    std::vector<int32_t> unplaced;                       // elements with content on no known page
    std::vector<std::pair<CPdfObject, CPdfObject>> ids;  // the ID tree's pairs, in order

private:
    struct Visit {
        CPdfObject ref;
        int32_t parent;
        size_t level;
        int32_t page;
    };
    void ReadElement(CPdfResolver* xref, const Visit& visit, std::vector<Visit>& work);
    void ReadKids(CPdfResolver* xref, const CPdfObject& k, int32_t index, const Visit& visit,
                  std::vector<Visit>& work);

    bool present = false;
    std::unordered_map<int32_t, int32_t> byNumber;
    std::unordered_map<int32_t, std::vector<int32_t>> byPage;
    std::vector<std::pair<int64_t, CPdfObject>> parentTree;  // sorted by key
};
