#include "document/CPdfDestinations.h"

#include <algorithm>

#include "document/CPdfNameTree.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

namespace {
bool ByName(const CPdfNamedDestination& a, const CPdfNamedDestination& b) {
    return a.name < b.name;
}
}  // namespace

void CPdfDestinations::Load(CPdfXRef* table, const CPdfObject& catalog) {
    xref = table;
    tree.clear();
    dictionary.clear();
    if (catalog.kind != kindDictionary) return;
    CPdfObject names = catalog.dictValue->GetResolved("Names");
    CPdfObject root =
        names.kind == kindDictionary ? names.dictValue->Get("Dests") : CPdfObject(kindNull);
    if (root.kind == kindReference || root.kind == kindDictionary) {
        hasTree = true;
        CPdfNameTree::Walk(xref, root, "Names",
                           [&](const CPdfObject& key, const CPdfObject& value) {
                               if (key.kind == kindString || key.kind == kindName) {
                                   tree.push_back({CPdfNameTree::KeyBytes(key), value, 0});
                               }
                               return true;
                           });
    }
    CPdfObject dests = catalog.dictValue->GetResolved("Dests");
    if (dests.kind == kindDictionary) {
        hasDictionary = true;
        for (const auto& entry : dests.dictValue->entries) {
            dictionary.push_back({entry.first, entry.second, 0});
        }
    }
    // Names are found by binary search: both lists are sorted before any page is looked up.
    auto sortOnly = [](std::vector<CPdfNamedDestination>& list) {
        std::stable_sort(list.begin(), list.end(), ByName);
        list.erase(std::unique(list.begin(), list.end(),
                               [](const CPdfNamedDestination& a, const CPdfNamedDestination& b) {
                                   return a.name == b.name;
                               }),
                   list.end());
    };
    sortOnly(tree);
    sortOnly(dictionary);
    for (CPdfNamedDestination& d : tree) d.page = PageOfValue(d.value, false);
    for (CPdfNamedDestination& d : dictionary) d.page = PageOfValue(d.value, false);
    SortAndIndex(tree, treeByPage);
    SortAndIndex(dictionary, dictionaryByPage);
}

void CPdfDestinations::SortAndIndex(std::vector<CPdfNamedDestination>& list,
                                    std::unordered_map<int32_t, std::vector<uint32_t>>& byPage) {
    byPage.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].page > 0) byPage[list[i].page].push_back(static_cast<uint32_t>(i));
    }
}

const std::vector<uint32_t>& CPdfDestinations::OnPage(bool inTree, int32_t page) const {
    static const std::vector<uint32_t> none;
    const auto& byPage = inTree ? treeByPage : dictionaryByPage;
    auto it = byPage.find(page);
    return it == byPage.end() ? none : it->second;
}

CPdfObject CPdfDestinations::Find(const std::string& name) const {
    for (const auto* list : {&dictionary, &tree}) {
        CPdfNamedDestination probe;
        probe.name = name;
        auto it = std::lower_bound(list->begin(), list->end(), probe, ByName);
        if (it != list->end() && it->name == name) return it->value;
    }
    return CPdfObject(kindNull);
}

int32_t CPdfDestinations::PageOf(const CPdfObject& destination) const {
    return PageOfValue(destination, true);
}

int32_t CPdfDestinations::PageOfValue(CPdfObject destination, bool followNames) const {
    // A few steps at most: a reference, a dictionary's /D, a name, and the array it names.
    for (int step = 0; step < 6; ++step) {
        destination = destination.Resolve(xref);
        if (destination.kind == kindArray) {
            if (destination.arrayValue->GetCount() == 0) return 0;
            const CPdfObject& page = destination.arrayValue->GetAt(0);
            return page.kind == kindReference ? page.refNumber : 0;
        }
        if (destination.kind == kindDictionary) {
            destination = destination.dictValue->Get("D");
            continue;
        }
        if (!followNames || (destination.kind != kindString && destination.kind != kindName)) {
            return 0;
        }
        destination = Find(CPdfNameTree::KeyBytes(destination));
        followNames = false;  // a name that names another name opens nothing
    }
    return 0;
}
