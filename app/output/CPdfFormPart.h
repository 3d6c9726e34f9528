#pragma once

#include <cstdint>
#include <vector>

#include "app/output/CPdfOutputPart.h"
#include "document/CPdfAcroForm.h"

class CPdfOutputObjects;
class CPdfPagesPart;

// The interactive form of an output: the fields that have a widget on one of its pages, with
// the fields that hold them; every other field, with its value, stays out. An output that
// keeps the source's numbers keeps the form whole.
class CPdfFormPart : public CPdfOutputPart {
public:
    // Loads the source's form, unless objects keep their numbers, and marks the fields that
    // hold others as never copied by reference. A field gets the widgets that pages copies for
    // a page chosen again.
    CPdfFormPart(CPdfOutputObjects& objects, const CPdfPagesPart& pages);

    // Writes the kept fields that hold others, with the kids kept.
    void Write() override;
    // Sets /AcroForm to the pruned form, or removes it when no field is kept.
    void FillCatalog(CPdfDictionary& catalog) override;

private:
    // The fields kept, their numbers.
    void PlanOutput() override;
    // The annotations of the output's pages (those of a page chosen again once).
    std::vector<int32_t> ChosenAnnotations() const;
    CPdfObject PrunedForm() const;
    // References to the nodes of list that the output keeps.
    CPdfObject KeptFormNodes(const std::vector<int32_t>& list) const;

    CPdfOutputObjects& objects;
    const CPdfPagesPart& pages;
    CPdfAcroForm form;

    // The current output.
    std::vector<uint8_t> formKept;     // by form node: kept in this output
    std::vector<int32_t> formTouched;  // form nodes kept in this output
};
