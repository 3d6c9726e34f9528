// The outline of an output: every item that opens one of its pages, and every item that
// holds such an item, at its level. The first level follows the order of the pages; lower
// levels keep the source's order. Items are written anew with their links rebuilt and every
// other entry kept; an item kept only for the items it holds opens the first of their pages.
#include <algorithm>
#include <unordered_map>

#include "app/CPdfFileSplit.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfTextString.h"

namespace {
const int32_t kKept = -1;  // itemOut of an item kept but not yet numbered
}  // namespace

void CPdfFileSplit::InlineItemValues(CPdfDictionary& item) const {
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

int32_t CPdfFileSplit::OpeningPageOf(int32_t item) {
    // The item's own page when the output holds it; else the first page that an item it
    // holds opens. Depth is bounded by the outline's levels.
    const CPdfOutlineItem& it = outline.items[static_cast<size_t>(item)];
    if (it.page > 0 && OutputPageOf(it.page) > 0) return it.page;
    for (int32_t kid : it.kids) {
        if (itemOut[static_cast<size_t>(kid)] == 0) continue;
        int32_t page = OpeningPageOf(kid);
        if (page > 0) return page;
    }
    return 0;
}

void CPdfFileSplit::PlanOutline() {
    for (int32_t i : itemsTouched) itemOut[static_cast<size_t>(i)] = 0;
    itemsTouched.clear();
    keptItems.clear();
    outlineOut = 0;
    if (!outline.IsPresent()) return;
    itemOut.resize(outline.items.size(), 0);
    const CPdfCatalog& cat = *document.catalog;
    std::unordered_map<int32_t, size_t> position;  // page object: first place in the selection
    for (size_t k = 0; k < selection.size(); ++k) {
        int32_t page = cat.pages[selection[k].pageNumber - 1].objectNumber;
        if (!position.emplace(page, k).second) continue;  // a repeated page's items come once
        for (int32_t i : outline.ItemsOpening(page)) {
            for (int32_t j = i; j >= 0 && itemOut[static_cast<size_t>(j)] == 0;
                 j = outline.items[static_cast<size_t>(j)].parent) {
                itemOut[static_cast<size_t>(j)] = kKept;
                itemsTouched.push_back(j);
                if (outline.items[static_cast<size_t>(j)].parent < 0) keptItems.push_back(j);
            }
        }
    }
    if (keptItems.empty()) return;
    // The first level in the order of the pages its items open, each page's in outline order.
    std::vector<std::pair<size_t, size_t>> order;  // (place of its page, rank in the outline)
    std::unordered_map<int32_t, size_t> rank;
    for (size_t r = 0; r < outline.top.size(); ++r) rank[outline.top[r]] = r;
    for (int32_t i : keptItems) order.push_back({position[OpeningPageOf(i)], rank[i]});
    std::vector<size_t> byOrder(keptItems.size());
    for (size_t k = 0; k < byOrder.size(); ++k) byOrder[k] = k;
    std::sort(byOrder.begin(), byOrder.end(),
              [&](size_t a, size_t b) { return order[a] < order[b]; });
    std::vector<int32_t> sorted;
    sorted.reserve(byOrder.size());
    for (size_t k : byOrder) sorted.push_back(keptItems[k]);
    keptItems = std::move(sorted);
    // Numbers: the root, then the items in the order they are written (each before its own).
    outlineOut = copies->Claim(outline.rootNumber);
    std::vector<int32_t> work(keptItems.rbegin(), keptItems.rend());
    while (!work.empty()) {
        int32_t i = work.back();
        work.pop_back();
        const CPdfOutlineItem& item = outline.items[static_cast<size_t>(i)];
        itemOut[static_cast<size_t>(i)] = copies->Claim(item.number);
        for (size_t k = item.kids.size(); k-- > 0;) {
            if (itemOut[static_cast<size_t>(item.kids[k])] != 0) work.push_back(item.kids[k]);
        }
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

void CPdfFileSplit::WriteOutline() {
    if (outlineOut == 0) return;
    const int32_t outlineGeneration = copies->GenerationOf(outline.rootNumber);
    auto reference = [&](int32_t item) {
        const CPdfOutlineItem& it = outline.items[static_cast<size_t>(item)];
        return CPdfObjectWriter::OutputReference(itemOut[static_cast<size_t>(item)],
                                                 copies->GenerationOf(it.number));
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
    WriteValueObject(outlineOut, outlineGeneration, rootValue);

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
            CPdfObject original = xref->Fetch(it.number, it.generation);
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
            if (it.page <= 0 || OutputPageOf(it.page) <= 0) {
                // Kept for the items it holds: it opens the first of their pages.
                int32_t page = OpeningPageOf(i);
                dict->entries.erase("A");
                dict->entries.erase("Dest");
                CPdfObject dest;
                dest.NewArray(nullptr);
                dest.arrayValue->Append(CPdfObjectWriter::OutputReference(
                    OutputPageOf(page), copies->GenerationOf(page)));
                dest.arrayValue->Append(CPdfObjectWriter::Verbatim("/XYZ null null null"));
                dict->Set("Dest", dest);
            }
            if (!keepNumbers) InlineItemValues(*dict);
            CPdfObject value;
            value.SetDictionary(dict);
            int32_t number = itemOut[static_cast<size_t>(i)];
            WriteValueObject(number, copies->GenerationOf(it.number), value);
            if (!kids.empty()) work.push_back({kids, number, copies->GenerationOf(it.number)});
        }
    }
}
