#pragma once

#include "app/output/CPdfOutputPart.h"
#include "document/CPdfPageLabels.h"

class CPdfOutputObjects;

// The page labels of an output, rebuilt so that each page shows the label it had. An output
// that keeps the source's numbers keeps them as they are.
class CPdfPageLabelsPart : public CPdfOutputPart {
public:
    // Loads the source's page labels.
    explicit CPdfPageLabelsPart(CPdfOutputObjects& objects);

    // Sets /PageLabels to the rebuilt labels; removes it when the source has none.
    void FillCatalog(CPdfDictionary& catalog) override;

private:
    CPdfOutputObjects& objects;
    CPdfPageLabels labels;
};
