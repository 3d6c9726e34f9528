#include "document/CPdfPage.h"

#include "CPdfException.h"
#include "document/CPdfNodeEntries.h"
#include "file/CPdfXRef.h"
#include "object/CPdfScan.h"

void CPdfPage::Load(int pageNumber, CPdfXRef* table, const CPdfNodeEntries& page,
                    const CPdfInherited& inherited) {
    using Key = CPdfNodeEntries;
    xref = table;
    number = pageNumber;
    contents = CPdfPageValue(page.Get(Key::keyContents));
    if (contents.kind != kindReference && contents.kind != kindArray) {
        contents = CPdfPageValue(CPdfObject(kindNull));
    }

    if (page.Has(Key::keyResources)) {
        resources = CPdfPageValue(page.values[Key::keyResources]);
    } else if (inherited.hasResources) {
        resources = CPdfPageValue(inherited.resources);
        resourcesFrom = inherited.resourcesNode;
    }
    // Only the kind of the resources is looked at; many pages share one resource dictionary,
    // which is read once.
    resourcesMissing = !page.Has(Key::keyResources) && !inherited.hasResources;
    bool isDictionary = resources.kind == kindDictionary;
    if (resources.kind == kindReference && xref) {
        isDictionary = xref->KindOf(resources.refNumber, resources.refGeneration) == kindDictionary;
    }
    if (!isDictionary && !resourcesMissing) throw CPdfException("Resources are not found");

    annots = CPdfPageValue(page.Get(Key::keyAnnots));
    if (annots.kind != kindReference && annots.kind != kindArray && annots.kind != kindNull) {
        CPdfException::Throw("Page annotations object (page %d) is wrong type", number);
    }

    CPdfObject r(kindNull);
    if (page.Has(Key::keyRotate)) {
        r = page.GetResolved(Key::keyRotate);
    } else if (inherited.hasRotate) {
        r = inherited.rotate.Resolve(xref);
        rotateFrom = inherited.rotateNode;
    }
    if (r.kind == kindInteger) rotate = static_cast<int>(r.intValue % 360);
    if (rotate < 0) rotate += 360;
    if (!page.Has(Key::keyCropBox) && inherited.hasCropBox) cropBoxFrom = inherited.cropBoxNode;
}
