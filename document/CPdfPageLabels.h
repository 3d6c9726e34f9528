#pragma once

#include <cstdint>
#include <vector>

#include "object/CPdfObject.h"

class CPdfResolver;

// The document's page labels (the catalog's /PageLabels number tree): ranges of pages, each
// numbered in one style from a start value, with a prefix. Read once per run; rebuilt for an
// output so that each of its pages shows the label it had in the source.
class CPdfPageLabels {
public:
    // Reads the tree that the catalog's /PageLabels names. Throws what fetching throws.
    void Load(CPdfResolver* xref, const CPdfObject& catalog);

    bool IsPresent() const { return present; }

    // The /Nums array of an output whose pages are, in order, the source pages with these
    // 0-based indices: a range starts wherever an output page does not continue the range
    // and numbering of the page before it.
    CPdfObject Rebuild(const std::vector<uint32_t>& sourcePages) const;

private:
    struct Range {
        int64_t first;     // 0-based index of the range's first page
        CPdfObject label;  // its label dictionary
    };
    // The range that holds page index, or nullptr for a page before every range.
    const Range* RangeOf(uint32_t page) const;
    static CPdfObject LabelFor(const Range* range, uint32_t page);

    bool present = false;
    std::vector<Range> ranges;  // by first page
};
