// Outline copying for the split job: each output carries the first-level outline items that
// open one of its pages, in the order of its pages, under a rewritten outline root.
#include <map>
#include <set>

#include "CPdfException.h"
#include "app/CPdfFileSplit.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfRawDictionary.h"

namespace {
constexpr size_t kMaxNameTreeNodes = 100000;

std::string Ref(int32_t number, int32_t generation) {
    return std::to_string(number) + " " + std::to_string(generation) + " R";
}

std::string StringBytes(const CPdfObject& value) {
    if (value.kind == kindName) return value.textValue;
    if (value.stringValue.decoded) return value.stringValue.data;
    std::string digits;
    for (char c : value.stringValue.data) {
        if (isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
    }
    if (digits.size() % 2) digits.push_back('0');
    return CPdfString::HexDecode(digits);
}

// Walks a name tree (a /Names array of key/value pairs, or /Kids) depth first, each node's
// /Names before its /Kids, and hands visit every key with the value's index in its array;
// visit returns true to stop. Each node is visited once, so a tree whose /Kids loop back ends.
template <typename Visit>
void WalkNameTree(CPdfXRef* xref, const CPdfObject& root, Visit visit) {
    std::vector<CPdfObject> work{root};
    std::set<int32_t> seen;
    size_t visits = 0;
    while (!work.empty() && ++visits <= kMaxNameTreeNodes) {
        CPdfObject item = std::move(work.back());
        work.pop_back();
        if (item.kind == kindReference && !seen.insert(item.refNumber).second) continue;
        CPdfObject node = item.Resolve(xref);
        if (node.kind != kindDictionary) continue;
        CPdfObject names = node.dictValue->GetResolved("Names");
        if (names.kind == kindArray) {
            const CPdfArray& a = *names.arrayValue;
            for (size_t i = 0; i + 1 < a.GetCount(); i += 2) {
                CPdfObject key = a.GetResolvedAt(i);
                if ((key.kind == kindString || key.kind == kindName) &&
                    visit(StringBytes(key), a, i + 1)) {
                    return;
                }
            }
        }
        CPdfObject kids = node.dictValue->GetResolved("Kids");
        if (kids.kind != kindArray) continue;
        for (size_t i = kids.arrayValue->GetCount(); i-- > 0;)
            work.push_back(kids.arrayValue->GetAt(i));
    }
}

// Looks a name up in a name tree: the value of its first key equal to name.
CPdfObject LookUpNameTree(CPdfXRef* xref, const CPdfObject& root, const std::string& name) {
    CPdfObject found(kindNull);
    WalkNameTree(xref, root, [&](const std::string& key, const CPdfArray& a, size_t at) {
        if (key != name) return false;
        found = a.GetResolvedAt(at);
        return true;
    });
    return found;
}

// Names already looked up in the named destinations (null for those not there).
using KnownNames = std::map<std::string, CPdfObject>;

// Looks every wanted name up in one walk of the tree, with the answers one lookup each would
// give: an outline of hundreds of items does not walk the tree hundreds of times.
KnownNames LookUpNames(CPdfXRef* xref, const CPdfObject& root,
                       const std::set<std::string>& wanted) {
    KnownNames known;
    if (wanted.empty()) return known;
    WalkNameTree(xref, root, [&](const std::string& key, const CPdfArray& a, size_t at) {
        if (wanted.count(key) && !known.count(key)) known.emplace(key, a.GetResolvedAt(at));
        return known.size() == wanted.size();
    });
    for (const std::string& name : wanted) known.emplace(name, CPdfObject(kindNull));
    return known;
}

// The page object that a destination opens: an explicit destination array, a dictionary
// with /D, or a name or string looked up in the named destinations (in known first). 0 when
// unknown. With wanted, the first name that would be looked up is put there instead, and 0
// returned.
int32_t DestinationPage(const CPdfCatalog& catalog, CPdfObject dest, const KnownNames& known,
                        std::set<std::string>* wanted = nullptr) {
    for (int step = 0; step < 4; ++step) {
        dest = dest.Resolve(catalog.xref);
        if (dest.kind == kindArray) {
            if (dest.arrayValue->GetCount() == 0) return 0;
            const CPdfObject& page = dest.arrayValue->GetAt(0);
            return page.kind == kindReference ? page.refNumber : 0;
        }
        if (dest.kind == kindDictionary) {
            dest = dest.dictValue->Get("D");
            continue;
        }
        if (dest.kind != kindString && dest.kind != kindName) return 0;
        std::string name = StringBytes(dest);
        CPdfObject found(kindNull);
        if (catalog.oldDests.kind == kindDictionary) found = catalog.oldDests.dictValue->Get(name);
        if (found.kind == kindNull) {
            if (wanted) {
                wanted->insert(name);
                return 0;
            }
            auto it = known.find(name);
            found =
                it != known.end() ? it->second : LookUpNameTree(catalog.xref, catalog.dests, name);
        }
        dest = found;
    }
    return 0;
}
}  // namespace

void CPdfFileSplit::LoadOutlineItems() {
    outlineItems.clear();
    outlineItemsByPage.clear();
    std::vector<CPdfObject> destinations;  // each item's, found below
    std::string rootText = index->ReadText(outlinesNumber);
    CPdfRawDictionary root;
    if (rootText.empty() || !root.Scan(rootText)) return;
    const CPdfRawEntry* first = root.Find("First");
    if (!first || first->value.kind != kindReference) return;
    std::set<int32_t> seen;
    CPdfObject item = first->value;
    // The /Next chain ends at the first item that is not a reference or that was met
    // before: a chain that loops back on itself ends there.
    while (item.kind == kindReference && seen.insert(item.refNumber).second) {
        OutlineEntry entry;
        entry.itemNumber = item.refNumber;
        entry.itemGeneration = item.refGeneration;
        entry.parentNumber = outlinesNumber;
        std::string text = index->ReadText(entry.itemNumber);
        CPdfRawDictionary dict;
        if (text.empty() || !dict.Scan(text)) break;
        if (const CPdfRawEntry* title = dict.Find("Title")) {
            entry.title = text.substr(title->keyEnd, title->valueEnd - title->keyEnd);
            CPdfObjectIndex::CollectReferences(title->value, entry.needs);
        }
        CPdfObject dest(kindNull);
        if (const CPdfRawEntry* a = dict.Find("A")) {
            if (a->value.kind == kindReference) {
                entry.actionNumber = a->value.refNumber;
                entry.actionGeneration = a->value.refGeneration;
                entry.needs.insert(entry.needs.end(), index->Get(entry.actionNumber).refs.begin(),
                                   index->Get(entry.actionNumber).refs.end());
            } else {
                entry.targetText = "/A" + text.substr(a->keyEnd, a->valueEnd - a->keyEnd);
                CPdfObjectIndex::CollectReferences(a->value, entry.needs);
            }
            CPdfObject action = a->value.Resolve(xref);
            if (action.kind == kindDictionary && !action.dictValue->Get("S").IsName("GoTo")) {
                action = CPdfObject(kindNull);  // only a GoTo action opens a page here
            }
            if (action.kind == kindDictionary) dest = action.dictValue->Get("D");
        } else if (const CPdfRawEntry* d = dict.Find("Dest")) {
            entry.targetText = "/Dest" + text.substr(d->keyEnd, d->valueEnd - d->keyEnd);
            CPdfObjectIndex::CollectReferences(d->value, entry.needs);
            dest = d->value;
        }
        destinations.push_back(dest);
        outlineItems.push_back(std::move(entry));
        const CPdfRawEntry* next = dict.Find("Next");
        item = next ? next->value : CPdfObject(kindNull);
    }
    // The names the items open are looked up together, then every item's page is found.
    const CPdfCatalog& catalog = *document.catalog;
    std::set<std::string> wanted;
    for (const CPdfObject& dest : destinations)
        DestinationPage(catalog, dest, KnownNames(), &wanted);
    KnownNames known = LookUpNames(xref, catalog.dests, wanted);
    for (size_t i = 0; i < outlineItems.size(); ++i) {
        int32_t page = DestinationPage(catalog, destinations[i], known);
        outlineItems[i].destPageNumber = page;
        if (page != 0) outlineItemsByPage[page].push_back(i);
    }
}

void CPdfFileSplit::PrepareOutline() {
    keptItems.clear();
    std::set<int32_t> keptNumbers;
    for (const SelectedPage& page : selection) {
        int32_t pageObject = pageSlots[page.pageNumber - 1].ObjectNumber();
        auto items = outlineItemsByPage.find(pageObject);
        if (items == outlineItemsByPage.end()) continue;
        for (size_t i : items->second) {
            const OutlineEntry& entry = outlineItems[i];
            // A page selected more than once carries its items once.
            if (!keptNumbers.insert(entry.itemNumber).second) continue;
            keptItems.push_back(entry);
            keptItems.back().outputPageNumber = pageObject;
        }
    }
    for (size_t i = 0; i + 1 < keptItems.size(); ++i) {
        keptItems[i].nextNumber = keptItems[i + 1].itemNumber;
        keptItems[i].nextGeneration = keptItems[i + 1].itemGeneration;
        keptItems[i + 1].prevNumber = keptItems[i].itemNumber;
        keptItems[i + 1].prevGeneration = keptItems[i].itemGeneration;
    }
    for (const OutlineEntry& entry : keptItems) FollowReferences(entry.needs, true);
    // The root, the kept items and their actions are written by WriteOutline.
    SetMark(outlinesNumber, false);
    for (const OutlineEntry& entry : keptItems) {
        SetMark(entry.itemNumber, false);
        if (entry.actionNumber > 0) SetMark(entry.actionNumber, false);
    }
}

void CPdfFileSplit::WriteOutline() {
    const std::string parent = Ref(outlinesNumber, outlinesGeneration);
    std::set<int32_t> writtenActions;
    for (size_t i = keptItems.size(); i-- > 0;) {
        const OutlineEntry& entry = keptItems[i];
        bool haveAction = entry.actionNumber > 0 && index->Get(entry.actionNumber).present;
        if (haveAction && writtenActions.insert(entry.actionNumber).second) {
            MarkWritten(entry.actionNumber, index->Get(entry.actionNumber).generation);
            index->CopyText(entry.actionNumber, output);
        }
        MarkWritten(entry.itemNumber, entry.itemGeneration);
        std::string text = std::to_string(entry.itemNumber) + " " +
                           std::to_string(entry.itemGeneration) + " obj\n<<\n";
        if (entry.nextNumber) text += "/Next " + Ref(entry.nextNumber, entry.nextGeneration) + "\n";
        // Readers walk the chain backwards too: every item but the first names the one before.
        if (entry.prevNumber) text += "/Prev " + Ref(entry.prevNumber, entry.prevGeneration) + "\n";
        if (haveAction) {
            text += "/A " + Ref(entry.actionNumber, entry.actionGeneration) + "\n";
        } else if (!entry.targetText.empty()) {
            text += entry.targetText + "\n";
        }
        text += "/Title" + (entry.title.empty() ? std::string(" ()") : entry.title);
        text += "\n/Parent " + parent + "\n>>\nendobj\n";
        output.Write(text);
    }

    std::string rootText = index->ReadText(outlinesNumber);
    CPdfRawDictionary root;
    if (rootText.empty() || !root.Scan(rootText)) return;
    MarkWritten(outlinesNumber, outlinesGeneration);
    std::string text =
        std::to_string(outlinesNumber) + " " + std::to_string(outlinesGeneration) + " obj\n<<\n";
    for (const CPdfRawEntry& e : root.entries) {
        if (e.key == "First" || e.key == "Last" || e.key == "Count") continue;
        // Other entries are kept when they hold no reference to an object left out.
        std::vector<int32_t> refs;
        CPdfObjectIndex::CollectReferences(e.value, refs);
        bool dangling = false;
        for (int32_t r : refs) dangling = dangling || !IsMarked(r);
        if (!dangling) text += rootText.substr(e.keyStart, e.valueEnd - e.keyStart) + "\n";
    }
    if (!keptItems.empty()) {
        text +=
            "/First " + Ref(keptItems.front().itemNumber, keptItems.front().itemGeneration) + "\n";
        text += "/Last " + Ref(keptItems.back().itemNumber, keptItems.back().itemGeneration) + "\n";
    }
    text += "/Count " + std::to_string(keptItems.size()) + "\n>>\nendobj\n";
    output.Write(text);
}
