#include "app/output/CPdfCatalogActionsPart.h"

#include "app/output/CPdfOutputObjects.h"
#include "document/CPdfDestinations.h"
#include "object/CPdfDictionary.h"

CPdfCatalogActionsPart::CPdfCatalogActionsPart(CPdfOutputObjects& outputObjects,
                                               const CPdfDestinations& named)
    : objects(outputObjects), destinations(named) {}

void CPdfCatalogActionsPart::FillCatalog(CPdfDictionary& catalog) {
    // An output that keeps the source's numbers keeps the actions as they are.
    if (objects.KeepsNumbers()) return;
    Replace(catalog, "AA", PrunedActions());
    if (LeadsToPageLeftOut(catalog.Get("OpenAction"))) catalog.entries.erase("OpenAction");
}

bool CPdfCatalogActionsPart::LeadsToPageLeftOut(const CPdfObject& action) const {
    CPdfObject value = action.Resolve(objects.Xref());
    CPdfObject dest = value;
    if (value.kind == kindDictionary) {
        if (!value.dictValue->Get("S").IsName("GoTo")) return false;
        dest = value.dictValue->Get("D");
    }
    int32_t page = destinations.PageOf(dest);
    return page > 0 && objects.OutputPageOf(page) == 0;
}

CPdfObject CPdfCatalogActionsPart::PrunedActions() const {
    CPdfObject actions = objects.Catalog().dictValue->GetResolved("AA");
    if (actions.kind != kindDictionary) return CPdfObject(kindNull);
    auto dict = std::make_shared<CPdfDictionary>(nullptr);
    for (const auto& entry : actions.dictValue->entries) {
        if (!LeadsToPageLeftOut(entry.second)) dict->Set(entry.first, entry.second);
    }
    if (dict->entries.empty()) return CPdfObject(kindNull);
    CPdfObject value;
    value.SetDictionary(dict);
    return value;
}
