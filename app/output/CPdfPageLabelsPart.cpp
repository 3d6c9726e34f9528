#include "app/output/CPdfPageLabelsPart.h"

#include "app/output/CPdfOutputObjects.h"
#include "object/CPdfDictionary.h"

CPdfPageLabelsPart::CPdfPageLabelsPart(CPdfOutputObjects& outputObjects) : objects(outputObjects) {
    labels.Load(objects.Xref(), objects.Catalog());
}

void CPdfPageLabelsPart::FillCatalog(CPdfDictionary& catalog) {
    // An output that keeps the source's numbers keeps the labels as they are.
    if (objects.KeepsNumbers()) return;
    if (!labels.IsPresent()) {
        catalog.entries.erase("PageLabels");
        return;
    }
    std::vector<uint32_t> pages;
    for (const SelectedPage& s : objects.Selection()) pages.push_back(s.pageNumber - 1);
    auto dict = std::make_shared<CPdfDictionary>(nullptr);
    dict->Set("Nums", labels.Rebuild(pages));
    CPdfObject value;
    value.SetDictionary(dict);
    Replace(catalog, "PageLabels", value);
}
