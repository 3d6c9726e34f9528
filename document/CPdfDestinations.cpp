#include "document/CPdfDestinations.h"

#include <algorithm>
#include <numeric>

#include "document/CPdfNameTree.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfParser.h"
#include "object/CPdfReferenceMap.h"
#include "stream/CPdfMemoryStream.h"

void CPdfDestinations::List::Add(const std::string& name, const CPdfObject& value) {
    CPdfNamedDestination d;
    d.nameAt = static_cast<uint32_t>(pool.size());
    d.nameLength = static_cast<uint32_t>(name.size());
    pool += name;
    if (value.kind == kindReference) {
        d.refNumber = value.refNumber;
        d.refGeneration = value.refGeneration;
    } else {
        // Kept as text, its references as they stand in the source.
        CPdfSameNumbers same;
        const std::string text = CPdfObjectWriter(same).Text(value);
        d.textAt = static_cast<uint32_t>(pool.size());
        d.textLength = static_cast<uint32_t>(text.size());
        pool += text;
    }
    items.push_back(d);
}

void CPdfDestinations::Load(CPdfXRef* table, const CPdfObject& catalog) {
    xref = table;
    tree = List();
    dictionary = List();
    if (catalog.kind != kindDictionary) return;
    CPdfObject names = catalog.dictValue->GetResolved("Names");
    CPdfObject root =
        names.kind == kindDictionary ? names.dictValue->Get("Dests") : CPdfObject(kindNull);
    if (root.kind == kindReference || root.kind == kindDictionary) {
        hasTree = true;
        CPdfNameTree::Walk(xref, root, "Names",
                           [&](const CPdfObject& key, const CPdfObject& value) {
                               if (key.kind == kindString || key.kind == kindName) {
                                   tree.Add(CPdfNameTree::KeyBytes(key), value);
                               }
                               return true;
                           });
    }
    CPdfObject dests = catalog.dictValue->GetResolved("Dests");
    if (dests.kind == kindDictionary) {
        hasDictionary = true;
        for (const auto& entry : dests.dictValue->entries)
            dictionary.Add(entry.first, entry.second);
    }
    Finish(tree);
    Finish(dictionary);
}

void CPdfDestinations::Finish(List& list) {
    // Names are found by binary search: both lists are sorted before any page is looked up.
    auto byName = [&list](const CPdfNamedDestination& a, const CPdfNamedDestination& b) {
        return list.pool.compare(a.nameAt, a.nameLength, list.pool, b.nameAt, b.nameLength) < 0;
    };
    std::stable_sort(list.items.begin(), list.items.end(), byName);
    list.items.erase(std::unique(list.items.begin(), list.items.end(),
                                 [&](const CPdfNamedDestination& a, const CPdfNamedDestination& b) {
                                     return !byName(a, b) && !byName(b, a);
                                 }),
                     list.items.end());
    // Held for the whole run: without the room the lists grew by.
    list.items.shrink_to_fit();
    list.pool.shrink_to_fit();
    // The values are read in the order in which their objects lie in the file and in its
    // object streams, so that each object stream is decoded once, not once per name.
    auto place = [this](const CPdfNamedDestination& d) {
        const size_t n = static_cast<size_t>(d.refNumber);
        if (d.refNumber <= 0 || n >= xref->entries.size()) return std::make_pair(int64_t(-1), 0);
        const XRefEntry& e = xref->entries[n];
        return std::make_pair(e.Type() == 2 ? e.Offset() : -1, d.refNumber);
    };
    std::vector<uint32_t> order(list.items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return place(list.items[a]) < place(list.items[b]);
    });
    for (uint32_t k : order) {
        CPdfNamedDestination& d = list.items[k];
        d.page = PageOfValue(Value(list, d), false);
    }
    list.byPage.clear();
    list.byPage.reserve(static_cast<size_t>(
        std::count_if(list.items.begin(), list.items.end(),
                      [](const CPdfNamedDestination& d) { return d.page > 0; })));
    for (size_t i = 0; i < list.items.size(); ++i) {
        if (list.items[i].page > 0) list.byPage.push_back(static_cast<uint32_t>(i));
    }
    std::stable_sort(list.byPage.begin(), list.byPage.end(), [&list](uint32_t a, uint32_t b) {
        return list.items[a].page < list.items[b].page;
    });
}

CPdfObject CPdfDestinations::Value(const List& list, const CPdfNamedDestination& d) const {
    if (d.refNumber != 0) return CPdfObject::Reference(d.refNumber, d.refGeneration);
    auto text = std::make_shared<const std::string>(list.pool, d.textAt, d.textLength);
    CPdfParser parser(xref, std::make_shared<CPdfMemoryStream>(text, 0, text->size()));
    return parser.ParseObject();
}

std::pair<const uint32_t*, const uint32_t*> CPdfDestinations::OnPage(bool inTree,
                                                                     int32_t page) const {
    const List& list = inTree ? tree : dictionary;
    struct ByPage {
        const List& list;
        bool operator()(uint32_t k, int32_t p) const { return list.items[k].page < p; }
        bool operator()(int32_t p, uint32_t k) const { return p < list.items[k].page; }
    };
    const uint32_t* begin = list.byPage.data();
    return std::equal_range(begin, begin + list.byPage.size(), page, ByPage{list});
}

std::string CPdfDestinations::NameOf(bool inTree, uint32_t k) const {
    const List& list = inTree ? tree : dictionary;
    return list.Name(list.items[k]);
}

CPdfObject CPdfDestinations::ValueOf(bool inTree, uint32_t k) const {
    const List& list = inTree ? tree : dictionary;
    return Value(list, list.items[k]);
}

CPdfObject CPdfDestinations::Find(const std::string& name) const {
    for (const List* list : {&dictionary, &tree}) {
        auto it = std::lower_bound(list->items.begin(), list->items.end(), name,
                                   [list](const CPdfNamedDestination& d, const std::string& n) {
                                       return list->pool.compare(d.nameAt, d.nameLength, n) < 0;
                                   });
        if (it != list->items.end() && list->Name(*it) == name) return Value(*list, *it);
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
