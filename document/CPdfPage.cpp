#include "document/CPdfPage.h"

#include <tuple>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "file/CPdfXRef.h"
#include "object/CPdfNodeEntries.h"
#include "object/CPdfScan.h"

bool CPdfPageAttributes::operator<(const CPdfPageAttributes& o) const {
    auto key = [](const CPdfPageAttributes& a) {
        return std::tie(a.objectGeneration, a.resourcesFrom, a.cropBoxFrom, a.rotateFrom,
                        a.resources.kind, a.resources.refNumber, a.resources.refGeneration,
                        a.resourcesMissing, a.rotate, a.mediaBox[0], a.mediaBox[1], a.mediaBox[2],
                        a.mediaBox[3]);
    };
    return key(*this) < key(o);
}

void CPdfPage::Load(int number, CPdfXRef* xref, const CPdfNodeEntries& page,
                    const CPdfInherited& inherited, CPdfPageAttributes& out) {
    using Key = CPdfNodeEntries;
    CPdfPageValue resources;
    if (page.Has(Key::keyResources)) {
        resources = CPdfPageValue(page.values[Key::keyResources]);
    } else if (inherited.hasResources) {
        resources = CPdfPageValue(inherited.resources);
        out.resources = resources;
        out.resourcesFrom = inherited.resourcesNode;
    }
    // Only the kind of the resources is looked at; many pages share one resource dictionary,
    // which is read once.
    out.resourcesMissing = !page.Has(Key::keyResources) && !inherited.hasResources;
    bool isDictionary = resources.kind == kindDictionary;
    if (resources.kind == kindReference && xref) {
        isDictionary = xref->KindOf(resources.refNumber, resources.refGeneration) == kindDictionary;
    }
    if (!isDictionary && !out.resourcesMissing) throw CPdfException(CPdfMessages::kNoResources);

    const CPdfPageValue annots(page.Get(Key::keyAnnots));
    if (annots.kind != kindReference && annots.kind != kindArray && annots.kind != kindNull) {
        CPdfException::Throw(CPdfMessages::kAnnotationsType, number);
    }

    CPdfObject r(kindNull);
    if (page.Has(Key::keyRotate)) {
        r = page.GetResolved(Key::keyRotate);
    } else if (inherited.hasRotate) {
        r = inherited.rotate.Resolve(xref);
        out.rotateFrom = inherited.rotateNode;
    }
    if (r.kind == kindInteger) out.rotate = static_cast<int>(r.intValue % 360);
    if (out.rotate < 0) out.rotate += 360;
    if (!page.Has(Key::keyCropBox) && inherited.hasCropBox) out.cropBoxFrom = inherited.cropBoxNode;
}
