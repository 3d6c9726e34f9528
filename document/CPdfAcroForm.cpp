#include "document/CPdfAcroForm.h"

#include "CPdfLimits.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfResolver.h"

void CPdfAcroForm::Load(CPdfResolver* xref, const CPdfObject& catalog) {
    nodes.clear();
    fields.clear();
    byNumber.clear();
    present = false;
    if (catalog.kind != kindDictionary) return;
    form = catalog.dictValue->GetResolved("AcroForm");
    if (form.kind != kindDictionary) return;
    present = true;
    struct Visit {
        CPdfObject ref;
        int32_t parent;
        size_t level;
    };
    std::vector<Visit> work;
    CPdfObject list = form.dictValue->GetResolved("Fields");
    if (list.kind == kindArray) {
        for (size_t i = list.arrayValue->GetCount(); i-- > 0;) {
            work.push_back({list.arrayValue->GetAt(i), -1, 0});
        }
    }
    while (!work.empty() && nodes.size() < CPdfLimits::kMaxItems) {
        Visit visit = std::move(work.back());
        work.pop_back();
        if (visit.ref.kind != kindReference || byNumber.count(visit.ref.refNumber)) continue;
        CPdfObject dict = visit.ref.Resolve(xref);
        if (dict.kind != kindDictionary) continue;
        CPdfFormNode node;
        node.number = visit.ref.refNumber;
        node.generation = visit.ref.refGeneration;
        node.parent = visit.parent;
        node.widget = dict.dictValue->Get("Subtype").IsName("Widget");
        int32_t index = static_cast<int32_t>(nodes.size());
        byNumber[node.number] = index;
        nodes.push_back(std::move(node));
        if (visit.parent < 0) {
            fields.push_back(index);
        } else {
            nodes[static_cast<size_t>(visit.parent)].kids.push_back(index);
        }
        CPdfObject kids = dict.dictValue->GetResolved("Kids");
        if (kids.kind != kindArray || visit.level + 1 >= CPdfLimits::kMaxTreeLevels) continue;
        for (size_t i = kids.arrayValue->GetCount(); i-- > 0;) {
            work.push_back({kids.arrayValue->GetAt(i), index, visit.level + 1});
        }
    }
}

int32_t CPdfAcroForm::NodeOf(int32_t number) const {
    auto it = byNumber.find(number);
    return it == byNumber.end() ? -1 : it->second;
}
