#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "CPdfLimits.h"
#include "document/CPdfPage.h"
#include "object/CPdfObject.h"

class CPdfNodeEntries;
class CPdfXRef;

// The document catalog: the page list in document order (from a depth-first walk of the page
// tree), the outline and the named destinations.
class CPdfCatalog {
public:
    CPdfCatalog() = default;

    // Loads the catalog of the document whose table is xref. Throws CPdfException on a
    // malformed catalog or page tree.
    void Load(CPdfXRef* xref);

    size_t GetPageCount() const { return pages.size(); }
    // The attributes that the page at index (from 0) is written with.
    const CPdfPageAttributes& AttributesAt(size_t index) const;
    // For the page at index (from 0) written into its parent's /Kids: the parent node's number
    // (0 when the page is an object, or the parent is not one) and the page's place in that
    // /Kids (-1 when /Kids names the page alone).
    void KidPlaceOf(size_t index, int32_t& node, int32_t& place) const;

    CPdfXRef* xref = nullptr;
    std::vector<CPdfPage> pages;
    CPdfObject outlines;
    CPdfObject dests;         // the /Dests name tree under /Names
    CPdfObject oldDests;      // the catalog's own /Dests dictionary
    int32_t pagesNumber = 0;  // the page tree root's object number (0 when direct)
    int32_t pagesGeneration = 0;
    // Object numbers of the page tree's nodes above the pages, the root included.
    std::vector<int32_t> nodeNumbers;

    // Most levels of /Pages nodes above a page.
    static constexpr size_t kMaxTreeDepth = CPdfLimits::kMaxPageTreeDepth;
    // Most bytes the walk may parse: this many per byte of the file, plus the allowance.
    static constexpr int64_t kWorkPerFileByte = CPdfLimits::kWorkPerFileByte;
    static constexpr int64_t kWorkAllowance = CPdfLimits::kWorkAllowance;

private:
    void AddPages(CPdfNodeEntries& root);
    // Reads the kid that a /Kids item names; false when it is not a dictionary.
    bool ReadKid(const CPdfObject& kidRef, CPdfNodeEntries& kid);
    void LoadLeaf(const CPdfObject& kidRef, const CPdfNodeEntries& kid,
                  const CPdfInherited& inherited);
    // The index of a record equal to a, added when there is none.
    uint32_t Share(const CPdfPageAttributes& a);

    std::vector<CPdfPageAttributes> attributes;  // the pages' records, each once
    std::map<CPdfPageAttributes, uint32_t> attributeIndex;
    // Which record the pages take: each run of pages with the same record starts at its first
    // page's index (pages in a row mostly share theirs).
    struct AttributeRun {
        uint32_t firstPage;
        uint32_t record;
    };
    std::vector<AttributeRun> attributeRuns;
    struct KidPlace {
        uint32_t page;
        int32_t node, place;
    };
    std::vector<KidPlace> kidPlaces;  // by page index
};
