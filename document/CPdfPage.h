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

// What a page is written with besides its own dictionary: the nodes whose attributes it
// inherits (0 when it has its own, or none does), the resources it inherits as stored, its
// media box (its own, the nearest ancestor's, or US Letter: 0 0 612 792 as readers take it)
// and its rotation; also the page object's generation. Pages under the same nodes share one
// record.
struct CPdfPageAttributes {
    int32_t objectGeneration = 0;  // the page object's generation
    int32_t resourcesFrom = 0;
    int32_t cropBoxFrom = 0;
    int32_t rotateFrom = 0;
    // The inherited /Resources as stored (kindNone when the page has its own).
    CPdfPageValue resources;
    // Neither the page nor an ancestor has /Resources: the page uses none, and is written with
    // an empty resource dictionary.
    bool resourcesMissing = false;
    int rotate = 0;  // 0, 90, 180 or 270
    double mediaBox[4] = {0, 0, 0, 0};

    bool operator<(const CPdfPageAttributes& other) const;
};

// One leaf of the page tree: where the page object lives (its shared record of attributes is
// the catalog's, CPdfCatalog::AttributesAt). The record of every page of a long document is
// held at once, so it is small.
class CPdfPage {
public:
    // Checks the page's entries and works out its attributes (taken from its ancestors where
    // it lacks them) into attributes. Throws "Resources are not found" (resources that are not
    // a dictionary) or "Page annotations object (page %d) is wrong type" (number: the page's
    // number, from 1).
    static void Load(int number, CPdfXRef* xref, const CPdfNodeEntries& page,
                     const CPdfInherited& inherited, CPdfPageAttributes& attributes);

    int32_t objectNumber = 0;  // 0 when the page is not an indirect object
};
