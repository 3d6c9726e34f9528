#include "document/CPdfPage.h"

#include "CPdfException.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfScan.h"

void CPdfPage::Load(int pageNumber, CPdfXRef* table, const CPdfDictionary& page,
                    const CPdfInherited& inherited) {
    xref = table;
    number = pageNumber;
    contents = page.Get("Contents");
    if (contents.kind != kindReference && contents.kind != kindArray) contents = CPdfObject(kindNull);

    if (page.Has("Resources")) {
        resources = page.Get("Resources");
    } else if (inherited.hasResources) {
        resources = inherited.resources;
        resourcesFrom = inherited.resourcesNode;
    }
    // Only the kind matters here; the dictionary itself is not kept, so that a long
    // document's page list stays small.
    // Only the kind of the resources is looked at, so they are read without being built.
    CPdfScan scan;
    scan.buildDictionaries = 0;
    CPdfObject resolved = resources.kind == kindReference && xref
                              ? xref->Fetch(resources.refNumber, resources.refGeneration, &scan)
                              : resources;
    if (resolved.kind != kindDictionary) {
        resources.Clear();
        throw CPdfException("Resources are not found");
    }

    annots = page.Get("Annots");
    if (annots.kind != kindReference && annots.kind != kindArray && annots.kind != kindNull) {
        annots.Clear();
        CPdfException::Throw("Page annotations object (page %d) is wrong type", number);
    }

    CPdfObject r(kindNull);
    if (page.Has("Rotate")) {
        r = page.GetResolved("Rotate");
    } else if (inherited.hasRotate) {
        r = inherited.rotate.Resolve(xref);
        rotateFrom = inherited.rotateNode;
    }
    if (r.kind == kindInteger) rotate = static_cast<int>(r.intValue % 360);
    if (rotate < 0) rotate += 360;
    if (!page.Has("CropBox") && inherited.hasCropBox) cropBoxFrom = inherited.cropBoxNode;
}
