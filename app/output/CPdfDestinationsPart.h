#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/output/CPdfOutputPart.h"
#include "document/CPdfDestinations.h"

class CPdfOutputObjects;

// The named destinations of an output: the names (in the /Names tree, or the /Dests
// dictionary) that open one of its pages, each written with its destination array. An output
// that keeps the source's numbers keeps them whole.
class CPdfDestinationsPart : public CPdfOutputPart {
public:
    // Loads the source's named destinations.
    explicit CPdfDestinationsPart(CPdfOutputObjects& objects);

    // The source's named destinations.
    const CPdfDestinations& Tree() const { return destinations; }
    // Sets /Names (the source's, its /Dests tree pruned) and /Dests, or removes them when
    // nothing is left. The names are written as they are kept: in the catalog when they are
    // few, else as objects of their own (the tree's leaves, or the /Dests dictionary).
    void FillCatalog(CPdfDictionary& catalog) override;

private:
    CPdfObject PrunedNames();
    CPdfObject PrunedDests();
    // The name and destination pairs of kept[from] .. kept[to - 1] of the tree.
    CPdfObject DestinationPairs(const std::vector<uint32_t>& kept, size_t from, size_t to) const;
    // Positions of the named destinations (of the tree, or of the /Dests dictionary) that open
    // one of the output's pages, in name order.
    std::vector<uint32_t> KeptDestinations(bool inTree) const;
    // A named destination's value, written as the destination array where it is one.
    CPdfObject DirectDestination(const CPdfObject& value) const;

    // Names in one leaf of an output's destination tree.
    static constexpr size_t kNamesPerLeaf = 128;

    CPdfOutputObjects& objects;
    CPdfDestinations destinations;
};
