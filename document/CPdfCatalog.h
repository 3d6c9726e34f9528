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
    // malformed catalog or page tree. With pagesNeeded above 0, the walk may stop once it has
    // read that many pages: when the root's /Count says the tree holds at least that many, the
    // page count is taken from it and the rest of the tree is left unread (its kids met so far
    // are listed in unreadKids). Only pages up to pagesNeeded can then be asked for.
    void Load(CPdfXRef* xref, uint32_t pagesNeeded = 0);

    // The number of pages: those in pages, or the root's /Count when the walk stopped early.
    size_t GetPageCount() const { return pageCount; }
    // True when the walk stopped before the end of the tree.
    bool IsPartial() const { return pageCount != pages.size(); }
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
    // Object numbers of the pages and nodes named in /Kids that a walk stopped early did not
    // read.
    std::vector<int32_t> unreadKids;

    // Most levels of /Pages nodes above a page.
    static constexpr size_t kMaxTreeDepth = CPdfLimits::kMaxPageTreeDepth;
    // Most bytes the walk may parse: this many per byte of the file, plus the allowance.
    static constexpr int64_t kWorkPerFileByte = CPdfLimits::kWorkPerFileByte;
    static constexpr int64_t kWorkAllowance = CPdfLimits::kWorkAllowance;

private:
    // Walks the tree from its root; stops after stopAfter pages when that is above 0, and
    // is then true when the tree went on.
    bool AddPages(CPdfNodeEntries& root, size_t stopAfter);
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
    size_t pageCount = 0;
};
