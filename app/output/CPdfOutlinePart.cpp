// The outline of an output: every item that opens one of its pages, every item that opens no
// page (a web address, a named action, a script, a layer, another file), every item whose
// structure element the output keeps, and every item that holds one of these, at its level.
// Dead go-to items go. The first level follows the order of the pages, an item that opens no
// page after the kept item before it; lower levels keep the source's order. Items are written
// anew with their links rebuilt and every other entry kept; an item kept only for the items
// it holds opens the first of their pages.
#include "app/output/CPdfOutlinePart.h"

#include <algorithm>
#include <functional>
#include <tuple>
#include <unordered_map>

#include "app/output/CPdfOutputObjects.h"
#include "app/output/CPdfStructurePart.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "file/CPdfCopySet.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfTextString.h"

namespace {
const int32_t kKept = -1;  // itemOut of an item kept but not yet numbered
}  // namespace

void CPdfOutlinePart::InlineItemValues(CPdfDictionary& item) const {
    // An item's title and action are its own: written inside it, they save an object each,
    // and a title in UTF-16 that is plain ASCII is written in one byte a character.
    CPdfObject title = item.GetResolved("Title");
    if (title.kind == kindString) {
        title.stringValue.data = CPdfTextString::Compact(title.stringValue.Bytes());
        title.stringValue.decoded = true;
        item.entries["Title"] = title;
    }
    CPdfObject action = item.GetResolved("A");
    if (action.kind == kindDictionary) item.entries["A"] = action;
}

CPdfOutlinePart::CPdfOutlinePart(CPdfOutputObjects& outputObjects,
                                 const CPdfDestinations& destinations,
                                 CPdfStructurePart& structureTree)
    : objects(outputObjects), structure(structureTree) {
    outline.Load(objects.Xref(), objects.Catalog(), destinations);
    // The outline's root and items are written anew for every output.
    objects.Copies().Skip(outline.rootNumber);
    for (const CPdfOutlineItem& item : outline.items) objects.Copies().Skip(item.number);
}

void CPdfOutlinePart::FillCatalog(CPdfDictionary& catalog) {
    Replace(catalog, "Outlines",
            outlineOut > 0 ? CPdfObjectWriter::OutputReference(
                                 outlineOut, objects.Copies().GenerationOf(outline.rootNumber))
                           : CPdfObject(kindNull));
    // A viewer told to open the outline pane would open an empty one.
    if (outlineOut <= 0 && catalog.Get("PageMode").Resolve(objects.Xref()).IsName("UseOutlines")) {
        catalog.entries.erase("PageMode");
    }
}

void CPdfOutlinePart::Write() {
    WriteOutline();
}

CPdfObject CPdfOutlinePart::FirstPageDestination(int32_t page) const {
    CPdfObject dest;
    dest.NewArray(nullptr);
    dest.arrayValue->Append(CPdfObjectWriter::OutputReference(objects.OutputPageOf(page),
                                                              objects.Copies().GenerationOf(page)));
    dest.arrayValue->Append(CPdfObjectWriter::Verbatim("/XYZ null null null"));
    return dest;
}

int32_t CPdfOutlinePart::OpeningPageOf(int32_t item) {
    // The item's own page when the output holds it; else the first page that an item it
    // holds opens. Depth is bounded by the outline's levels.
    const CPdfOutlineItem& it = outline.items[static_cast<size_t>(item)];
    if (it.page > 0 && objects.OutputPageOf(it.page) > 0) return it.page;
    for (int32_t kid : it.kids) {
        if (itemOut[static_cast<size_t>(kid)] == 0) continue;
        int32_t page = OpeningPageOf(kid);
        if (page > 0) return page;
    }
    return 0;
}

void CPdfOutlinePart::PlanOutput() {
    // An item goes with the structure element it names.
    structure.Plan();
    for (int32_t i : itemsTouched) itemOut[static_cast<size_t>(i)] = 0;
    itemsTouched.clear();
    keptItems.clear();
    outlineOut = 0;
    if (!outline.IsPresent()) return;
    itemOut.resize(outline.items.size(), 0);
    // An item is kept with every item that holds it.
    auto keep = [&](int32_t i) {
        for (int32_t j = i; j >= 0 && itemOut[static_cast<size_t>(j)] == 0;
             j = outline.items[static_cast<size_t>(j)].parent) {
            itemOut[static_cast<size_t>(j)] = kKept;
            itemsTouched.push_back(j);
        }
    };
    const CPdfCatalog& cat = *objects.Document().catalog;
    const std::vector<SelectedPage>& selection = objects.Selection();
    std::unordered_map<int32_t, size_t> position;  // page object: first place in the selection
    for (size_t k = 0; k < selection.size(); ++k) {
        int32_t page = cat.pages[selection[k].pageNumber - 1].objectNumber;
        if (!position.emplace(page, k).second) continue;  // a repeated page's items come once
        for (int32_t i : outline.ItemsOpening(page)) keep(i);
    }
    for (int32_t i : outline.ItemsOpeningNoPage()) keep(i);
    for (int32_t i : outline.ItemsWithElement()) {
        if (structure.ElementKept(outline.items[static_cast<size_t>(i)].element)) keep(i);
    }
    OrderFirstLevel(position);
    if (keptItems.empty()) return;
    // Numbers: the root, then the items in the order they are written (each before its own).
    outlineOut = objects.Copies().Claim(outline.rootNumber);
    std::vector<int32_t> work(keptItems.rbegin(), keptItems.rend());
    while (!work.empty()) {
        int32_t i = work.back();
        work.pop_back();
        const CPdfOutlineItem& item = outline.items[static_cast<size_t>(i)];
        itemOut[static_cast<size_t>(i)] = objects.Copies().Claim(item.number);
        for (size_t k = item.kids.size(); k-- > 0;) {
            if (itemOut[static_cast<size_t>(item.kids[k])] != 0) work.push_back(item.kids[k]);
        }
    }
}

void CPdfOutlinePart::OrderFirstLevel(const std::unordered_map<int32_t, size_t>& position) {
    // Items that open a page (theirs, or the first of the items they hold) in the order of
    // those pages, each page's in outline order; an item that opens no page follows the kept
    // item before it in the outline, or leads when none is.
    struct Placed {
        size_t place;  // of its page in the selection
        size_t rank;   // in the outline's first level
        int32_t item;
    };
    std::vector<Placed> placed;
    std::vector<std::vector<int32_t>> followers(1);  // [0]: leading; [k + 1]: after placed[k]
    for (size_t r = 0; r < outline.top.size(); ++r) {
        const int32_t i = outline.top[r];
        if (itemOut[static_cast<size_t>(i)] == 0) continue;
        const int32_t page =
            outline.items[static_cast<size_t>(i)].OpensNoPage() ? 0 : OpeningPageOf(i);
        auto place = position.find(page);
        if (place != position.end()) {
            placed.push_back({place->second, r, i});
            followers.emplace_back();
        } else {
            followers.back().push_back(i);
        }
    }
    std::vector<size_t> byPlace(placed.size());
    for (size_t k = 0; k < byPlace.size(); ++k) byPlace[k] = k;
    std::sort(byPlace.begin(), byPlace.end(), [&](size_t a, size_t b) {
        return std::tie(placed[a].place, placed[a].rank) <
               std::tie(placed[b].place, placed[b].rank);
    });
    keptItems = followers[0];
    for (size_t k : byPlace) {
        keptItems.push_back(placed[k].item);
        keptItems.insert(keptItems.end(), followers[k + 1].begin(), followers[k + 1].end());
    }
}

namespace {
// The items of list that the output keeps, in order.
std::vector<int32_t> Kept(const std::vector<int32_t>& list, const std::vector<int32_t>& itemOut) {
    std::vector<int32_t> kept;
    for (int32_t i : list) {
        if (itemOut[static_cast<size_t>(i)] > 0) kept.push_back(i);
    }
    return kept;
}
}  // namespace

void CPdfOutlinePart::WriteOutline() {
    if (outlineOut == 0) return;
    const CPdfCopySet& copies = objects.Copies();
    const int32_t outlineGeneration = copies.GenerationOf(outline.rootNumber);
    auto reference = [&](int32_t item) {
        const CPdfOutlineItem& it = outline.items[static_cast<size_t>(item)];
        return CPdfObjectWriter::OutputReference(itemOut[static_cast<size_t>(item)],
                                                 copies.GenerationOf(it.number));
    };
    // Visible descendants of each kept item (those shown when the items above are open).
    std::unordered_map<int32_t, int64_t> visible;
    std::function<int64_t(const std::vector<int32_t>&)> count =
        [&](const std::vector<int32_t>& list) {
            int64_t total = 0;
            for (int32_t i : list) {
                const CPdfOutlineItem& it = outline.items[static_cast<size_t>(i)];
                int64_t below = count(Kept(it.kids, itemOut));
                visible[i] = below;
                total += 1 + (it.open ? below : 0);
            }
            return total;
        };
    const int64_t shown = count(keptItems);

    auto root = std::make_shared<CPdfDictionary>(*outline.root.dictValue);
    for (const char* key : {"First", "Last", "Count"}) root->entries.erase(key);
    root->Set("First", reference(keptItems.front()));
    root->Set("Last", reference(keptItems.back()));
    root->Set("Count", CPdfObject::Integer(shown));
    CPdfObject rootValue;
    rootValue.SetDictionary(root);
    objects.WriteValueObject(outlineOut, outlineGeneration, rootValue);

    struct Level {
        std::vector<int32_t> items;
        int32_t parentOut;
        int32_t parentGeneration;
    };
    std::vector<Level> work{{keptItems, outlineOut, outlineGeneration}};
    while (!work.empty()) {
        Level level = std::move(work.back());
        work.pop_back();
        for (size_t k = 0; k < level.items.size(); ++k) {
            int32_t i = level.items[k];
            const CPdfOutlineItem& it = outline.items[static_cast<size_t>(i)];
            CPdfObject original = objects.Xref()->Fetch(it.number, it.generation);
            auto dict = original.kind == kindDictionary
                            ? std::make_shared<CPdfDictionary>(*original.dictValue)
                            : std::make_shared<CPdfDictionary>(nullptr);
            for (const char* key : {"Parent", "Prev", "Next", "First", "Last", "Count"}) {
                dict->entries.erase(key);
            }
            dict->Set("Parent",
                      CPdfObjectWriter::OutputReference(level.parentOut, level.parentGeneration));
            if (k > 0) dict->Set("Prev", reference(level.items[k - 1]));
            if (k + 1 < level.items.size()) dict->Set("Next", reference(level.items[k + 1]));
            std::vector<int32_t> kids = Kept(it.kids, itemOut);
            if (!kids.empty()) {
                dict->Set("First", reference(kids.front()));
                dict->Set("Last", reference(kids.back()));
                dict->Set("Count", CPdfObject::Integer(it.open ? visible[i] : -visible[i]));
            }
            if (it.action != CPdfOutlineItem::actionOther &&
                (it.page <= 0 || objects.OutputPageOf(it.page) <= 0)) {
                // Kept for the items it holds: it opens the first of their pages, if any.
                dict->entries.erase("A");
                dict->entries.erase("Dest");
                const int32_t page = OpeningPageOf(i);
                if (page > 0) dict->Set("Dest", FirstPageDestination(page));
            }
            if (!structure.ElementKept(it.element)) dict->entries.erase("SE");
            if (!objects.KeepsNumbers()) InlineItemValues(*dict);
            CPdfObject value;
            value.SetDictionary(dict);
            int32_t number = itemOut[static_cast<size_t>(i)];
            objects.WriteValueObject(number, copies.GenerationOf(it.number), value);
            if (!kids.empty()) work.push_back({kids, number, copies.GenerationOf(it.number)});
        }
    }
}
