#pragma once

#include <cstdint>
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
    virtual ~CPdfCatalog() = default;

    // Loads the catalog of the document whose table is xref. Throws CPdfException on a
    // malformed catalog or page tree.
    void Load(CPdfXRef* xref);

    size_t GetPageCount() const { return pages.size(); }

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
};
