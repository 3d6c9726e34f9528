// The structure tree of an output: the elements with content on its pages and the elements
// that hold them. Their /K lists lose the content and elements of the pages left out; the
// parent tree keeps the keys of the output's pages and of their annotations, the ID tree the
// names of the elements kept; role and class maps and every other entry stay.
#include "app/output/CPdfStructurePart.h"

#include <algorithm>

#include "app/output/CPdfOutputObjects.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "file/CPdfCopySet.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"

namespace {
CPdfObject DictionaryOf(std::shared_ptr<CPdfDictionary> dict) {
    CPdfObject value;
    value.SetDictionary(std::move(dict));
    return value;
}

// The /StructParents of a page and the /StructParent of each of its annotations.
void StructureKeys(CPdfXRef* xref, const CPdfObject& page, std::vector<int64_t>& keys) {
    if (page.kind != kindDictionary) return;
    CPdfObject key = page.dictValue->GetResolved("StructParents");
    if (key.kind == kindInteger) keys.push_back(key.intValue);
    CPdfObject annots = page.dictValue->GetResolved("Annots");
    if (annots.kind != kindArray) return;
    for (const CPdfObject& item : annots.arrayValue->items) {
        CPdfObject annotation = item.Resolve(xref);
        if (annotation.kind != kindDictionary) continue;
        key = annotation.dictValue->GetResolved("StructParent");
        if (key.kind == kindInteger) keys.push_back(key.intValue);
    }
}
}  // namespace

CPdfStructurePart::CPdfStructurePart(CPdfOutputObjects& outputObjects) : objects(outputObjects) {
    if (objects.KeepsNumbers()) return;
    // Structure elements are written only where an output keeps them.
    structure.Load(objects.Xref(), objects.Catalog());
    objects.Copies().Skip(structure.rootNumber);
    for (const CPdfStructElement& element : structure.elements) {
        objects.Copies().Skip(element.number);
    }
}

bool CPdfStructurePart::ElementKept(int32_t number) const {
    if (number <= 0) return false;
    if (structureOut == 0) return objects.KeepsNumbers();
    const int32_t i = structure.ElementOf(number);
    return i >= 0 && elementKept[static_cast<size_t>(i)];
}

void CPdfStructurePart::FillCatalog(CPdfDictionary& catalog) {
    // An output that keeps the source's numbers keeps the tree as it is.
    if (objects.KeepsNumbers()) return;
    Replace(catalog, "StructTreeRoot",
            structureOut > 0
                ? CPdfObjectWriter::OutputReference(
                      structureOut, objects.Copies().GenerationOf(structure.rootNumber))
                : CPdfObject(kindNull));
}

void CPdfStructurePart::PlanOutput() {
    for (int32_t i : elementsTouched) elementKept[static_cast<size_t>(i)] = 0;
    elementsTouched.clear();
    structureOut = 0;
    if (!structure.IsPresent() || objects.KeepsNumbers()) return;
    elementKept.resize(structure.elements.size(), 0);
    auto keep = [&](int32_t i) {
        for (; i >= 0 && !elementKept[static_cast<size_t>(i)];
             i = structure.elements[static_cast<size_t>(i)].parent) {
            elementKept[static_cast<size_t>(i)] = 1;
            elementsTouched.push_back(i);
        }
    };
    objects.ForEachChosenPage([&](int32_t page) {
        for (int32_t i : structure.ElementsOn(page)) keep(i);
    });
    for (int32_t i : structure.unplaced) keep(i);
    if (elementsTouched.empty()) return;
    CPdfCopySet& copies = objects.Copies();
    structureOut = structure.rootNumber > 0 ? copies.Claim(structure.rootNumber) : copies.Reserve();
    for (int32_t i : elementsTouched) {
        copies.Claim(structure.elements[static_cast<size_t>(i)].number);
    }
}

CPdfObject CPdfStructurePart::KeptStructureContent(const CPdfObject& k, int32_t page) const {
    CPdfXRef* xref = objects.Xref();
    CPdfObject items = k.Resolve(xref);
    std::vector<CPdfObject> list;
    if (items.kind == kindArray) {
        list = items.arrayValue->items;
    } else {
        list.push_back(k);
    }
    CPdfObject kept;
    kept.NewArray(nullptr);
    for (const CPdfObject& item : list) {
        CPdfObject value = item.Resolve(xref);
        int32_t itemPage = 0;
        bool content = CPdfStructTree::IsContentItem(value, page, itemPage);
        if (!content && item.kind == kindReference && value.kind == kindDictionary) {
            int32_t i = structure.ElementOf(item.refNumber);
            if (i < 0 || !elementKept[static_cast<size_t>(i)]) continue;
        } else if (value.kind == kindDictionary || content) {
            if (!content) itemPage = page;
            if (itemPage > 0 && objects.OutputPageOf(itemPage) == 0) continue;
        }
        kept.arrayValue->Append(item);
    }
    return kept;
}

void CPdfStructurePart::Write() {
    const CPdfCopySet& copies = objects.Copies();
    for (int32_t i : elementsTouched) {
        const CPdfStructElement& element = structure.elements[static_cast<size_t>(i)];
        CPdfObject original = objects.Xref()->Fetch(element.number, element.generation);
        if (original.kind != kindDictionary) continue;
        auto dict = std::make_shared<CPdfDictionary>(*original.dictValue);
        if (dict->Get("K").kind != kindNull) {
            dict->entries["K"] = KeptStructureContent(dict->Get("K"), element.page);
        }
        CPdfObject pg = dict->Get("Pg");
        if (pg.kind == kindReference && objects.OutputPageOf(pg.refNumber) == 0) {
            dict->entries.erase("Pg");
        }
        objects.WriteValueObject(copies.NumberOf(element.number),
                                 copies.GenerationOf(element.number), DictionaryOf(dict));
    }
    if (structureOut > 0) {
        objects.WriteValueObject(structureOut, copies.GenerationOf(structure.rootNumber),
                                 PrunedStructureRoot());
    }
}

CPdfObject CPdfStructurePart::PrunedStructureRoot() const {
    auto dict = std::make_shared<CPdfDictionary>(*structure.root.dictValue);
    dict->entries["K"] = KeptStructureContent(dict->Get("K"), 0);
    std::vector<int64_t> keys;
    objects.ForEachChosenPage(
        [&](int32_t page) { StructureKeys(objects.Xref(), objects.FetchObject(page), keys); });
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    CPdfObject nums;
    nums.NewArray(nullptr);
    for (int64_t key : keys) {
        CPdfObject value = structure.ParentTreeValue(key);
        if (value.kind == kindNull) continue;
        nums.arrayValue->Append(CPdfObject::Integer(key));
        nums.arrayValue->Append(value);
    }
    auto parents = std::make_shared<CPdfDictionary>(nullptr);
    parents->Set("Nums", nums);
    dict->entries["ParentTree"] = DictionaryOf(parents);
    std::vector<uint32_t> idsKept;
    for (int32_t i : elementsTouched) {
        const auto& ids = structure.elements[static_cast<size_t>(i)].ids;
        idsKept.insert(idsKept.end(), ids.begin(), ids.end());
    }
    dict->entries.erase("IDTree");
    if (!idsKept.empty()) {
        std::sort(idsKept.begin(), idsKept.end());
        CPdfObject names;
        names.NewArray(nullptr);
        for (uint32_t k : idsKept) {
            names.arrayValue->Append(structure.ids[k].first);
            names.arrayValue->Append(structure.ids[k].second);
        }
        auto tree = std::make_shared<CPdfDictionary>(nullptr);
        tree->Set("Names", names);
        dict->entries["IDTree"] = DictionaryOf(tree);
    }
    return DictionaryOf(dict);
}
