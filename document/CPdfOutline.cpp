#include "document/CPdfOutline.h"

#include "CPdfLimits.h"
#include "document/CPdfDestinations.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"

namespace {
// What an item does: its /Dest, else the type of its /A action.
CPdfOutlineItem::Action ActionOf(const CPdfDictionary& item, const CPdfObject& action) {
    if (item.Get("Dest").kind != kindNull) return CPdfOutlineItem::actionGoTo;
    if (action.kind != kindDictionary) return CPdfOutlineItem::actionNone;
    return action.dictValue->Get("S").IsName("GoTo") ? CPdfOutlineItem::actionGoTo
                                                     : CPdfOutlineItem::actionOther;
}

// The destination of an item: its /Dest, or the /D of a GoTo action; null for other actions.
CPdfObject DestinationOf(const CPdfDictionary& item, const CPdfObject& action) {
    CPdfObject dest = item.Get("Dest");
    if (dest.kind != kindNull || action.kind != kindDictionary) return dest;
    if (!action.dictValue->Get("S").IsName("GoTo")) return CPdfObject(kindNull);
    return action.dictValue->Get("D");
}
}  // namespace

void CPdfOutline::Load(CPdfXRef* xref, const CPdfObject& catalog, const CPdfDestinations& dests) {
    items.clear();
    top.clear();
    byPage.clear();
    pageFree.clear();
    withElement.clear();
    present = false;
    if (catalog.kind != kindDictionary) return;
    CPdfObject stored = catalog.dictValue->Get("Outlines");
    if (stored.kind == kindReference) {
        rootNumber = stored.refNumber;
        rootGeneration = stored.refGeneration;
    }
    root = stored.Resolve(xref);
    if (root.kind != kindDictionary) return;
    present = true;
    seen.assign(xref->entries.size(), 0);
    if (rootNumber > 0 && static_cast<size_t>(rootNumber) < seen.size()) seen[rootNumber] = 1;
    // Chains are read from a work list, so that no depth of nesting exhausts the stack.
    std::vector<Chain> work{{root.dictValue->Get("First"), -1, 0}};
    while (!work.empty()) {
        Chain chain = std::move(work.back());
        work.pop_back();
        ReadChain(xref, chain, dests, work);
    }
    // Each page's items in outline order: a walk of the tree, each item before its items.
    std::vector<int32_t> stack(top.rbegin(), top.rend());
    while (!stack.empty()) {
        int32_t i = stack.back();
        stack.pop_back();
        const CPdfOutlineItem& item = items[static_cast<size_t>(i)];
        if (item.page > 0) byPage[item.page].push_back(i);
        if (item.OpensNoPage()) pageFree.push_back(i);
        if (item.element > 0) withElement.push_back(i);
        stack.insert(stack.end(), item.kids.rbegin(), item.kids.rend());
    }
    seen.clear();
}

void CPdfOutline::ReadChain(CPdfXRef* xref, const Chain& chain, const CPdfDestinations& dests,
                            std::vector<Chain>& work) {
    CPdfObject item = chain.first;
    const int32_t parent = chain.parent;
    while (item.kind == kindReference && item.refNumber > 0 &&
           static_cast<size_t>(item.refNumber) < seen.size() && !seen[item.refNumber] &&
           items.size() < CPdfLimits::kMaxItems) {
        seen[item.refNumber] = 1;
        CPdfObject dict = xref->Fetch(item.refNumber, item.refGeneration);
        if (dict.kind != kindDictionary) return;
        CPdfOutlineItem entry;
        entry.number = item.refNumber;
        entry.generation = item.refGeneration;
        entry.parent = parent;
        const CPdfObject action = dict.dictValue->GetResolved("A");
        entry.action = ActionOf(*dict.dictValue, action);
        entry.page = dests.PageOf(DestinationOf(*dict.dictValue, action));
        const CPdfObject element = dict.dictValue->Get("SE");
        if (element.kind == kindReference) entry.element = element.refNumber;
        CPdfObject count = dict.dictValue->GetResolved("Count");
        entry.open = count.kind == kindInteger && count.intValue > 0;
        int32_t index = static_cast<int32_t>(items.size());
        items.push_back(std::move(entry));
        if (parent < 0) {
            top.push_back(index);
        } else {
            items[static_cast<size_t>(parent)].kids.push_back(index);
        }
        CPdfObject first = dict.dictValue->Get("First");
        if (first.kind == kindReference && chain.level + 1 < CPdfLimits::kMaxTreeLevels) {
            work.push_back({first, index, chain.level + 1});
        }
        item = dict.dictValue->Get("Next");
    }
}

const std::vector<int32_t>& CPdfOutline::ItemsOpening(int32_t page) const {
    static const std::vector<int32_t> none;
    auto it = byPage.find(page);
    return it == byPage.end() ? none : it->second;
}
