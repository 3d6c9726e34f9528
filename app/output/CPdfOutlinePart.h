#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "app/output/CPdfOutputPart.h"
#include "document/CPdfOutline.h"

class CPdfDestinations;
class CPdfOutputObjects;
class CPdfStructurePart;

// The outline of an output: the items that open one of its pages, open no page, or name a
// structure element the output keeps, with the items that hold them (see the .cpp).
class CPdfOutlinePart : public CPdfOutputPart {
public:
    // Loads the source's outline (its destinations resolved through destinations) and marks
    // its root and items as never copied by reference. The outline keeps an item whose /SE
    // element structure keeps.
    CPdfOutlinePart(CPdfOutputObjects& objects, const CPdfDestinations& destinations,
                    CPdfStructurePart& structure);

    // The source's outline.
    const CPdfOutline& Tree() const { return outline; }
    // Writes the root and the kept items.
    void Write() override;
    // Sets /Outlines to the new root, or removes it when no item is kept.
    void FillCatalog(CPdfDictionary& catalog) override;

private:
    // The items kept, their numbers.
    void PlanOutput() override;
    // keptItems: the kept first-level items in output order; position gives each page
    // object's first place in the selection.
    void OrderFirstLevel(const std::unordered_map<int32_t, size_t>& position);
    int32_t OpeningPageOf(int32_t item);
    // A destination that opens source page object page, which the output holds, at its top.
    CPdfObject FirstPageDestination(int32_t page) const;
    // Writes an item's indirect /Title and /A into it, the title in as few bytes as it takes.
    void InlineItemValues(CPdfDictionary& item) const;
    void WriteOutline();

    CPdfOutputObjects& objects;
    CPdfStructurePart& structure;
    CPdfOutline outline;

    // The current output.
    int32_t outlineOut = 0;             // 0 when the output has no outline
    std::vector<int32_t> keptItems;     // the outline's kept items, first level in order
    std::vector<int32_t> itemOut;       // by item: its output number, 0 when not kept
    std::vector<int32_t> itemsTouched;  // items given a number in this output
};
