#pragma once

#include <cstdint>
#include <vector>

#include "app/output/CPdfOutputPart.h"
#include "document/CPdfStructTree.h"

class CPdfOutputObjects;

// The structure tree of an output: the elements with content on its pages and the elements
// that hold them (see the .cpp). An output that keeps the source's numbers keeps the tree
// whole.
class CPdfStructurePart : public CPdfOutputPart {
public:
    // Loads the source's structure tree, unless objects keep their numbers, and marks its root
    // and elements as never copied by reference.
    explicit CPdfStructurePart(CPdfOutputObjects& objects);

    // Whether the output keeps the structure element that is source object number (an
    // outline item's /SE); false for 0. Without a pruned tree (kept whole, or none), true
    // where objects keep their numbers.
    bool ElementKept(int32_t number) const;
    // Writes the kept elements and the root.
    void Write() override;
    // Sets /StructTreeRoot to the new root, or removes it when no element is kept.
    void FillCatalog(CPdfDictionary& catalog) override;

private:
    // The elements kept, their numbers.
    void PlanOutput() override;
    CPdfObject PrunedStructureRoot() const;
    // The items of a /K value (an element's, page is its page; the root's, page 0) that the
    // output keeps, as an array.
    CPdfObject KeptStructureContent(const CPdfObject& k, int32_t page) const;

    CPdfOutputObjects& objects;
    CPdfStructTree structure;

    // The current output.
    int32_t structureOut = 0;              // 0 when the output has no structure tree
    std::vector<uint8_t> elementKept;      // by structure element: kept in this output
    std::vector<int32_t> elementsTouched;  // structure elements kept in this output
};
