#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "object/CPdfObject.h"

class CPdfDestinations;
class CPdfXRef;

// One outline item: where it is, where it stands in the outline, and what it opens.
struct CPdfOutlineItem {
    // What the item does when chosen.
    enum Action {
        actionNone,  // nothing: no /Dest, no /A dictionary
        actionGoTo,  // opens a destination of this document (/Dest, or a GoTo action)
        actionOther  // any other action (URI, Named, JavaScript, GoToR, SetOCGState, ...)
    };
    int32_t number = 0;
    int32_t generation = 0;
    int32_t parent = -1;        // index of the item that holds it; -1 on the first level
    std::vector<int32_t> kids;  // indices of the items it holds, in order
    int32_t page = 0;           // the page object its destination or GoTo action opens; 0: none
    Action action = actionNone;
    int32_t element = 0;  // object number of the structure element its /SE names; 0: none
    bool open = false;    // its /Count is positive: its items are shown

    // True when the item opens no page of this document whatever the pages: an action that is
    // not a go-to, or a bare item (no action, element or items of its own).
    bool OpensNoPage() const {
        return action == actionOther || (action == actionNone && element == 0 && kids.empty());
    }
};

// The document outline as a tree of items, read once per run. Items are indirect objects
// linked by /First and /Next; an item met a second time (a loop) ends its chain, and the
// items and levels read are bounded (CPdfLimits).
class CPdfOutline {
public:
    // Reads the outline that the catalog's /Outlines names; destinations are looked up in
    // dests. Throws what fetching objects throws.
    void Load(CPdfXRef* xref, const CPdfObject& catalog, const CPdfDestinations& dests);

    // Whether the catalog names an outline root.
    bool IsPresent() const { return present; }
    // The items that open page object page, in outline order.
    const std::vector<int32_t>& ItemsOpening(int32_t page) const;
    // The items that open no page (CPdfOutlineItem::OpensNoPage), in outline order.
    const std::vector<int32_t>& ItemsOpeningNoPage() const { return pageFree; }
    // The items that name a structure element, in outline order.
    const std::vector<int32_t>& ItemsWithElement() const { return withElement; }

    int32_t rootNumber = 0;  // 0 when the root is a direct dictionary
    int32_t rootGeneration = 0;
    CPdfObject root;                     // the root's dictionary
    std::vector<CPdfOutlineItem> items;  // in the order they were read
    std::vector<int32_t> top;            // indices of the first-level items, in order

private:
    // A chain of items linked by /Next, from first, held by parent (-1: the root).
    struct Chain {
        CPdfObject first;
        int32_t parent;
        size_t level;
    };
    // Reads the items of a chain; the chains of their own items go onto work.
    void ReadChain(CPdfXRef* xref, const Chain& chain, const CPdfDestinations& dests,
                   std::vector<Chain>& work);

    bool present = false;
    std::unordered_map<int32_t, std::vector<int32_t>> byPage;
    std::vector<int32_t> pageFree;
    std::vector<int32_t> withElement;
    std::vector<uint8_t> seen;
};
