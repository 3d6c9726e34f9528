#pragma once

#include <cstdint>

#include "document/CPdfPageValue.h"
#include "object/CPdfObject.h"

class CPdfNodeEntries;
class CPdfXRef;

// What a page takes from the /Pages nodes above it: the nearest ancestor's value of each
// inheritable attribute, and the number of the node that holds it (0 when the node is not an
// indirect object or no ancestor has it).
struct CPdfInherited {
    CPdfObject resources;
    CPdfObject rotate;
    double mediaBox[4] = {0, 0, 0, 0};
    bool hasMediaBox = false;
    int32_t resourcesNode = 0;
    int32_t cropBoxNode = 0;
    int32_t rotateNode = 0;
    bool hasResources = false;
    bool hasCropBox = false;
    bool hasRotate = false;
};

// One leaf of the page tree: the attributes the reader checks, and where the page object
// lives and what it inherits, for the split job.
class CPdfPage {
public:
    CPdfPage() = default;
    CPdfPage(const CPdfPage&) = default;
    CPdfPage(CPdfPage&&) noexcept = default;
    CPdfPage& operator=(const CPdfPage&) = default;
    CPdfPage& operator=(CPdfPage&&) noexcept = default;
    virtual ~CPdfPage() = default;

    // Fills the record from the page dictionary's entries; attributes the page lacks are
    // taken from its ancestors, and a page without resources anywhere is marked as such.
    // Throws "Resources are not found" (resources that are not a dictionary) or
    // "Page annotations object (page %d) is wrong type".
    void Load(int number, CPdfXRef* xref, const CPdfNodeEntries& page,
              const CPdfInherited& inherited);

    int rotate = 0;
    int number = 0;
    CPdfXRef* xref = nullptr;
    CPdfPageValue contents;   // a reference, an array or null
    CPdfPageValue resources;  // as stored (own or inherited); resolves to a dictionary
    // Neither the page nor an ancestor has /Resources: the page uses none, and is written with
    // an empty resource dictionary.
    bool resourcesMissing = false;
    CPdfPageValue annots;  // a reference, an array or null

    int32_t objectNumber = 0;  // 0 when the page is not an indirect object
    int32_t objectGeneration = 0;
    // A page written into its parent's /Kids: the parent node's number (0 when the page is an
    // object or the parent is not one) and the page's place in that /Kids (-1 when /Kids names
    // the page alone).
    int32_t kidOf = 0;
    int32_t kidIndex = -1;
    // The page's own /MediaBox, or the nearest ancestor's; US Letter (0 0 612 792) when
    // there is none, as readers take it.
    double mediaBox[4] = {0, 0, 0, 0};
    // Nodes whose attribute the page inherits (0 when the page has its own, or none).
    int32_t resourcesFrom = 0;
    int32_t cropBoxFrom = 0;
    int32_t rotateFrom = 0;
};
