#include "document/CPdfPageLabels.h"

#include <algorithm>

#include "document/CPdfNameTree.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

void CPdfPageLabels::Load(CPdfResolver* xref, const CPdfObject& catalog) {
    ranges.clear();
    present = false;
    if (catalog.kind != kindDictionary) return;
    CPdfObject root = catalog.dictValue->Get("PageLabels");
    if (root.kind != kindReference && root.kind != kindDictionary) return;
    present = true;
    CPdfNameTree::Walk(xref, root, "Nums", [&](const CPdfObject& key, const CPdfObject& value) {
        CPdfObject label = value.Resolve(xref);
        if (key.kind == kindInteger && key.intValue >= 0 && label.kind == kindDictionary) {
            ranges.push_back({key.intValue, label});
        }
        return true;
    });
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const Range& a, const Range& b) { return a.first < b.first; });
}

const CPdfPageLabels::Range* CPdfPageLabels::RangeOf(uint32_t page) const {
    auto it = std::upper_bound(ranges.begin(), ranges.end(), static_cast<int64_t>(page),
                               [](int64_t p, const Range& r) { return p < r.first; });
    return it == ranges.begin() ? nullptr : &*(it - 1);
}

CPdfObject CPdfPageLabels::LabelFor(const Range* range, uint32_t page) {
    CPdfObject label;
    label.NewDictionary(nullptr);
    CPdfDictionary& out = *label.dictValue;
    if (!range) {
        // A page that no range holds is labelled with its page number.
        out.Set("S", CPdfObject(kindName));
        out.entries["S"].textValue = "D";
        out.Set("St", CPdfObject::Integer(static_cast<int64_t>(page) + 1));
        return label;
    }
    const CPdfDictionary& in = *range->label.dictValue;
    for (const char* key : {"S", "P"}) {
        CPdfObject value = in.Get(key);
        if (value.kind != kindNull) out.Set(key, value);
    }
    CPdfObject start = in.GetResolved("St");
    int64_t st = start.kind == kindInteger && start.intValue >= 1 ? start.intValue : 1;
    out.Set("St", CPdfObject::Integer(st + (static_cast<int64_t>(page) - range->first)));
    return label;
}

CPdfObject CPdfPageLabels::Rebuild(const std::vector<uint32_t>& sourcePages) const {
    CPdfObject nums;
    nums.NewArray(nullptr);
    const Range* previousRange = nullptr;
    for (size_t i = 0; i < sourcePages.size(); ++i) {
        const uint32_t page = sourcePages[i];
        const Range* range = RangeOf(page);
        bool continues = i > 0 && range == previousRange && page == sourcePages[i - 1] + 1;
        previousRange = range;
        if (continues) continue;
        nums.arrayValue->Append(CPdfObject::Integer(static_cast<int64_t>(i)));
        nums.arrayValue->Append(LabelFor(range, page));
    }
    return nums;
}
