#pragma once

#include "app/output/CPdfOutputPart.h"
#include "object/CPdfObject.h"

class CPdfDestinations;
class CPdfOutputObjects;

// The document's actions (/AA, /OpenAction) in an output: those that would open a page left out
// are dropped. An output that keeps the source's numbers keeps them as they are.
class CPdfCatalogActionsPart : public CPdfOutputPart {
public:
    // Named destinations are looked up in destinations.
    CPdfCatalogActionsPart(CPdfOutputObjects& objects, const CPdfDestinations& destinations);

    // Prunes /AA and removes /OpenAction where it opens a page left out.
    void FillCatalog(CPdfDictionary& catalog) override;

private:
    CPdfObject PrunedActions() const;
    // Whether an action or destination opens a page that the output does not hold.
    bool LeadsToPageLeftOut(const CPdfObject& action) const;

    CPdfOutputObjects& objects;
    const CPdfDestinations& destinations;
};
