#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "object/CPdfObject.h"

class CPdfResolver;

// One node of the interactive form's field tree: a field, or a widget annotation (a field's
// place on a page, which may be the field itself).
struct CPdfFormNode {
    int32_t number = 0;
    int32_t generation = 0;
    int32_t parent = -1;        // index of the field that holds it; -1 for one of /Fields
    std::vector<int32_t> kids;  // indices, in /Kids order
    bool widget = false;        // it is a widget annotation (/Subtype /Widget)
};

// The document's interactive form (the catalog's /AcroForm): its dictionary and the tree of
// its fields, read once per run. Nodes are indirect objects; a node met twice (a loop) is read
// once, and the nodes and levels read are bounded (CPdfLimits).
class CPdfAcroForm {
public:
    // Reads the form that the catalog names. Throws what fetching objects throws.
    void Load(CPdfResolver* xref, const CPdfObject& catalog);

    bool IsPresent() const { return present; }
    // The index of the node that is object number, or -1.
    int32_t NodeOf(int32_t number) const;

    CPdfObject form;  // the /AcroForm dictionary
    std::vector<CPdfFormNode> nodes;
    std::vector<int32_t> fields;  // the nodes that /Fields lists, in order

private:
    bool present = false;
    std::unordered_map<int32_t, int32_t> byNumber;
};
