#include "document/CPdfStructTree.h"

#include <algorithm>

#include "CPdfLimits.h"
#include "document/CPdfNameTree.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfResolver.h"

namespace {
const std::vector<int32_t> kNone;

int32_t PageReference(const CPdfDictionary& dict, int32_t otherwise) {
    CPdfObject page = dict.Get("Pg");
    return page.kind == kindReference ? page.refNumber : otherwise;
}
}  // namespace

void CPdfStructTree::Load(CPdfResolver* xref, const CPdfObject& catalog) {
    *this = CPdfStructTree();
    if (catalog.kind != kindDictionary) return;
    CPdfObject ref = catalog.dictValue->Get("StructTreeRoot");
    root = ref.Resolve(xref);
    if (root.kind != kindDictionary) return;
    present = true;
    if (ref.kind == kindReference) {
        rootNumber = ref.refNumber;
        rootGeneration = ref.refGeneration;
    }
    std::vector<Visit> work;
    Visit rootVisit{CPdfObject(), -1, 0, 0};
    ReadKids(xref, root.dictValue->Get("K"), -1, rootVisit, work);
    while (!work.empty() && elements.size() < CPdfLimits::kMaxItems) {
        Visit visit = std::move(work.back());
        work.pop_back();
        ReadElement(xref, visit, work);
    }
    CPdfNameTree::Walk(xref, root.dictValue->Get("ParentTree"), "Nums",
                       [&](const CPdfObject& key, const CPdfObject& value) {
                           if (key.kind == kindInteger)
                               parentTree.emplace_back(key.intValue, value);
                           return true;
                       });
    std::stable_sort(parentTree.begin(), parentTree.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    CPdfNameTree::Walk(
        xref, root.dictValue->Get("IDTree"), "Names",
        [&](const CPdfObject& key, const CPdfObject& value) {
            int32_t i = value.kind == kindReference ? ElementOf(value.refNumber) : -1;
            if (i < 0) return true;
            elements[static_cast<size_t>(i)].ids.push_back(static_cast<uint32_t>(ids.size()));
            ids.emplace_back(key, value);
            return true;
        });
}

void CPdfStructTree::ReadElement(CPdfResolver* xref, const Visit& visit, std::vector<Visit>& work) {
    if (byNumber.count(visit.ref.refNumber)) return;
    CPdfObject dict = visit.ref.Resolve(xref);
    if (dict.kind != kindDictionary) return;
    CPdfStructElement element;
    element.number = visit.ref.refNumber;
    element.generation = visit.ref.refGeneration;
    element.parent = visit.parent;
    element.page = PageReference(*dict.dictValue, visit.page);
    int32_t index = static_cast<int32_t>(elements.size());
    byNumber[element.number] = index;
    elements.push_back(std::move(element));
    if (visit.parent < 0) {
        top.push_back(index);
    } else {
        elements[static_cast<size_t>(visit.parent)].kids.push_back(index);
    }
    if (visit.level + 1 >= CPdfLimits::kMaxTreeLevels) return;
    Visit next{CPdfObject(), index, visit.level + 1, elements.back().page};
    ReadKids(xref, dict.dictValue->Get("K"), index, next, work);
}

void CPdfStructTree::ReadKids(CPdfResolver* xref, const CPdfObject& k, int32_t index,
                              const Visit& visit, std::vector<Visit>& work) {
    CPdfObject items = k.Resolve(xref);
    std::vector<CPdfObject> list;
    if (items.kind == kindArray) {
        list = items.arrayValue->items;
    } else if (k.kind != kindNull) {
        list.push_back(k);
    }
    size_t firstNew = work.size();
    for (const CPdfObject& item : list) {
        CPdfObject value = item.Resolve(xref);
        int32_t page = 0;
        bool content = IsContentItem(value, visit.page, page);
        if (!content && item.kind == kindReference && value.kind == kindDictionary) {
            if (!byNumber.count(item.refNumber)) {
                work.push_back({item, index, visit.level, visit.page});
            }
            continue;
        }
        if (index < 0 || (!content && value.kind != kindDictionary)) continue;
        // An element written directly inside /K goes with its own or its holder's page.
        if (!content) page = PageReference(*value.dictValue, visit.page);
        std::vector<int32_t>& pages = elements[static_cast<size_t>(index)].pages;
        if (std::find(pages.begin(), pages.end(), page) != pages.end()) continue;
        pages.push_back(page);
        if (page == 0) {
            unplaced.push_back(index);
        } else {
            byPage[page].push_back(index);
        }
    }
    // Kids are read in their order: the stack takes them last first.
    std::reverse(work.begin() + static_cast<std::ptrdiff_t>(firstNew), work.end());
}

bool CPdfStructTree::IsContentItem(const CPdfObject& item, int32_t elementPage, int32_t& page) {
    page = elementPage;
    if (item.kind == kindInteger) return true;
    if (item.kind != kindDictionary) return false;
    const CPdfDictionary& dict = *item.dictValue;
    CPdfObject type = dict.Get("Type");
    bool content = type.IsName("MCR") || type.IsName("OBJR") ||
                   (dict.Get("S").kind == kindNull &&
                    (dict.Get("MCID").kind != kindNull || dict.Get("Obj").kind != kindNull));
    if (content) page = PageReference(dict, elementPage);
    return content;
}

const std::vector<int32_t>& CPdfStructTree::ElementsOn(int32_t page) const {
    auto it = byPage.find(page);
    return it == byPage.end() ? kNone : it->second;
}

int32_t CPdfStructTree::ElementOf(int32_t number) const {
    auto it = byNumber.find(number);
    return it == byNumber.end() ? -1 : it->second;
}

CPdfObject CPdfStructTree::ParentTreeValue(int64_t key) const {
    auto it = std::lower_bound(parentTree.begin(), parentTree.end(), key,
                               [](const auto& pair, int64_t k) { return pair.first < k; });
    return it != parentTree.end() && it->first == key ? it->second : CPdfObject(kindNull);
}
