#include "document/CPdfCatalog.h"

#include <algorithm>
#include <set>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfNodeEntries.h"
#include "object/CPdfScan.h"

namespace {
using Key = CPdfNodeEntries;

// One /Pages node being walked: its kids (an array, or the references of one) and how far
// the walk has come.
struct NodeVisit {
    std::shared_ptr<CPdfArray> kids;
    std::vector<CPdfNodeEntries::KidRef> kidRefs;
    size_t next = 0;
    CPdfInherited inherited;
    int32_t number = 0;   // the node's object number, 0 when it is not an object
    bool single = false;  // /Kids names one dictionary, not an array

    size_t Count() const { return kids ? kids->GetCount() : kidRefs.size(); }
    CPdfObject At(size_t i) const {
        return kids ? kids->GetAt(i)
                    : CPdfObject::Reference(kidRefs[i].number, kidRefs[i].generation);
    }
};

// Reads the node's /MediaBox into box (items that are not numbers read as 0); false, with
// box untouched, when the node has no /MediaBox array.
bool MediaBoxOf(const CPdfNodeEntries& node, double box[4]) {
    if (!node.Has(Key::keyMediaBox)) return false;
    if (node.compactMediaBox) {
        std::copy(node.mediaBox, node.mediaBox + 4, box);
        return true;
    }
    CPdfObject value = node.GetResolved(Key::keyMediaBox);
    if (value.kind != kindArray) return false;
    const CPdfArray& items = *value.arrayValue;
    for (size_t i = 0; i < 4; ++i) {
        box[i] = 0;
        if (i >= items.GetCount()) continue;
        const CPdfObject& item = items.GetAt(i);
        if (item.IsNumber()) {
            box[i] = item.GetNumber();
        } else if (item.kind == kindReference) {
            CPdfObject v = items.GetResolvedAt(i);
            if (v.IsNumber()) box[i] = v.GetNumber();
        }
    }
    return true;
}

// The attributes that a node passes on to what is below it.
CPdfInherited Inherit(const CPdfInherited& above, const CPdfNodeEntries& node, int32_t number) {
    CPdfInherited out = above;
    if (node.Has(Key::keyResources)) {
        out.resources = node.values[Key::keyResources];
        out.resourcesNode = number;
        out.hasResources = true;
    }
    if (node.Has(Key::keyCropBox)) {
        out.cropBoxNode = number;
        out.hasCropBox = true;
    }
    if (node.Has(Key::keyRotate)) {
        out.rotate = node.values[Key::keyRotate];
        out.rotateNode = number;
        out.hasRotate = true;
    }
    if (MediaBoxOf(node, out.mediaBox)) out.hasMediaBox = true;
    return out;
}

// A visit of node, whose attributes below it are inherited; node's kids are taken from it.
NodeVisit VisitOf(CPdfNodeEntries& node, CPdfInherited inherited) {
    NodeVisit visit;
    if (node.compactKids) {
        visit.kidRefs = std::move(node.kidRefs);
    } else {
        CPdfObject kids = node.GetResolved(Key::keyKids);
        if (kids.kind == kindDictionary) {
            // /Kids names one dictionary instead of an array of them: that is the only kid.
            visit.kids = std::make_shared<CPdfArray>(node.xref);
            visit.kids->Append(node.values[Key::keyKids]);
            visit.single = true;
        } else if (kids.kind == kindArray) {
            visit.kids = kids.arrayValue;
        } else {
            throw CPdfException(CPdfMessages::kKidsType);
        }
    }
    visit.inherited = std::move(inherited);
    return visit;
}

// Lists the object numbers of the kids that the nodes being walked have not reached.
void ListUnread(const std::vector<NodeVisit>& stack, std::vector<int32_t>& out) {
    for (const NodeVisit& visit : stack) {
        for (size_t i = visit.next; i < visit.Count(); ++i) {
            const CPdfObject kid = visit.At(i);
            if (kid.kind == kindReference) out.push_back(kid.refNumber);
        }
    }
}
}  // namespace

void CPdfCatalog::Load(CPdfXRef* table, uint32_t pagesNeeded) {
    xref = table;
    pages.clear();
    unreadKids.clear();
    attributes.clear();
    attributeRuns.clear();
    kidPlaces.clear();
    nodeNumbers.clear();
    CPdfObject catalog = xref->Fetch(xref->rootNum, xref->rootGen);
    if (catalog.kind != kindDictionary) throw CPdfException(CPdfMessages::kCatalogType);
    const CPdfDictionary& cat = *catalog.dictValue;
    CPdfObject pagesRef = cat.Get("Pages");
    if (pagesRef.kind == kindReference) {
        pagesNumber = pagesRef.refNumber;
        pagesGeneration = pagesRef.refGeneration;
    }
    // The root of a long document's tree lists thousands of kids: it is read quickly too
    // when it can be.
    CPdfNodeEntries root(xref);
    if (pagesRef.kind != kindReference ||
        !xref->FetchShallow(pagesRef.refNumber, pagesRef.refGeneration, root)) {
        CPdfObject rootObject = cat.GetResolved("Pages");
        if (rootObject.kind != kindDictionary) {
            throw CPdfException(CPdfMessages::kPagesType);
        }
        root.TakeFrom(*rootObject.dictValue);
    }
    CPdfObject count = root.GetResolved(Key::keyCount);
    if (!count.IsNumber()) {
        throw CPdfException(CPdfMessages::kPageCountType);
    }
    // The root's /Count is only a hint: it sizes the list (within what the table can hold)
    // so that a long document's list is not copied as it grows. A run that needs only the
    // first pages of a long document reads no more of the tree than those pages, when the
    // /Count says they are there; the count is then the /Count's.
    const bool counted = count.kind == kindInteger && count.intValue > 0 &&
                         count.intValue <= static_cast<int64_t>(xref->entries.size());
    const size_t stopAfter = counted && count.intValue >= pagesNeeded ? pagesNeeded : 0;
    if (counted) {
        pages.reserve(stopAfter > 0 ? stopAfter : static_cast<size_t>(count.intValue));
    }
    const bool partial = AddPages(root, stopAfter);
    pageCount = partial ? static_cast<size_t>(count.intValue) : pages.size();
    attributeIndex.clear();

    CPdfObject names = cat.GetResolved("Names");
    dests =
        names.kind == kindDictionary ? names.dictValue->GetResolved("Dests") : CPdfObject(kindNull);
    oldDests = cat.GetResolved("Dests");
    outlines = cat.GetResolved("Outlines");
}

bool CPdfCatalog::AddPages(CPdfNodeEntries& rootNode, size_t stopAfter) {
    // Walked with an explicit stack, so no tree can exhaust the call stack; a node met twice
    // means the tree loops back on itself.
    std::set<int32_t> seenNodes;
    if (pagesNumber > 0) {
        seenNodes.insert(pagesNumber);
        nodeNumbers.push_back(pagesNumber);
    }
    std::vector<NodeVisit> stack;
    CPdfNodeEntries kid(xref);
    // Kids may name the same large object again and again: the reading work is bounded by
    // the file's size, so that no file keeps the walk busy for long.
    const int64_t workStart = xref->bytesParsed;
    const int64_t workLimit =
        kWorkPerFileByte * std::max<int64_t>(xref->fileSize, 0) + kWorkAllowance;
    stack.push_back(VisitOf(rootNode, Inherit(CPdfInherited(), rootNode, pagesNumber)));
    stack.back().number = pagesNumber;
    while (!stack.empty()) {
        NodeVisit& top = stack.back();
        if (top.next >= top.Count()) {
            stack.pop_back();
            continue;
        }
        if (stopAfter > 0 && pages.size() >= stopAfter) {
            ListUnread(stack, unreadKids);
            return true;
        }
        if (xref->bytesParsed - workStart > workLimit)
            throw CPdfException(CPdfMessages::kPageTreeTooLarge);
        CPdfObject kidRef = top.At(top.next++);
        kid.Reset();
        if (!ReadKid(kidRef, kid)) throw CPdfException(CPdfMessages::kKidType);
        if (kid.IsLeaf()) {
            LoadLeaf(kidRef, kid, top.inherited);
            if (kidRef.kind != kindReference) {
                kidPlaces.push_back({static_cast<uint32_t>(pages.size() - 1), top.number,
                                     top.single ? -1 : static_cast<int32_t>(top.next - 1)});
            }
            continue;
        }
        int32_t number = kidRef.kind == kindReference ? kidRef.refNumber : 0;
        if (number > 0 && !seenNodes.insert(number).second) {
            throw CPdfException(CPdfMessages::kPageTreeCycle);
        }
        if (number > 0) nodeNumbers.push_back(number);
        if (stack.size() >= kMaxTreeDepth) throw CPdfException(CPdfMessages::kPageTreeTooDeep);
        NodeVisit visit = VisitOf(kid, Inherit(top.inherited, kid, number));
        visit.number = number;
        stack.push_back(std::move(visit));
    }
    return false;
}

bool CPdfCatalog::ReadKid(const CPdfObject& kidRef, CPdfNodeEntries& kid) {
    // What the walk needs of a page is its own entries and their arrays: plain page
    // dictionaries are read quickly, others in the parser's scanning mode, which does not
    // build the dictionaries inside them either.
    if (kidRef.kind == kindReference &&
        xref->FetchShallow(kidRef.refNumber, kidRef.refGeneration, kid)) {
        return true;
    }
    CPdfObject value = kidRef;
    if (kidRef.kind == kindReference) {
        CPdfScan scan;
        scan.buildArrays = 2;
        scan.buildValueOf = [](const std::string& key) {
            return CPdfNodeEntries::KeyOf(key.data(), key.size()) != CPdfNodeEntries::kKeyCount;
        };
        value = xref->Fetch(kidRef.refNumber, kidRef.refGeneration, &scan);
    }
    if (value.kind != kindDictionary) return false;
    kid.TakeFrom(*value.dictValue);
    return true;
}

void CPdfCatalog::LoadLeaf(const CPdfObject& kidRef, const CPdfNodeEntries& kid,
                           const CPdfInherited& inherited) {
    CPdfPageAttributes a;
    CPdfPage::Load(static_cast<int>(pages.size() + 1), xref, kid, inherited, a);
    static const double kLetter[4] = {0, 0, 612, 792};
    const double* box = inherited.hasMediaBox ? inherited.mediaBox : kLetter;
    std::copy(box, box + 4, a.mediaBox);
    MediaBoxOf(kid, a.mediaBox);
    CPdfPage page;
    if (kidRef.kind == kindReference) {
        page.objectNumber = kidRef.refNumber;
        a.objectGeneration = kidRef.refGeneration;
    }
    const uint32_t record = Share(a);
    if (attributeRuns.empty() || attributeRuns.back().record != record) {
        attributeRuns.push_back({static_cast<uint32_t>(pages.size()), record});
    }
    pages.push_back(page);
}

const CPdfPageAttributes& CPdfCatalog::AttributesAt(size_t index) const {
    auto it = std::upper_bound(attributeRuns.begin(), attributeRuns.end(), index,
                               [](size_t i, const AttributeRun& run) { return i < run.firstPage; });
    return attributes[std::prev(it)->record];
}

uint32_t CPdfCatalog::Share(const CPdfPageAttributes& a) {
    // Pages next to each other mostly share their record.
    if (!attributes.empty() && !(attributes.back() < a) && !(a < attributes.back())) {
        return static_cast<uint32_t>(attributes.size() - 1);
    }
    auto it = attributeIndex.find(a);
    if (it != attributeIndex.end()) return it->second;
    attributes.push_back(a);
    attributeIndex.emplace(a, static_cast<uint32_t>(attributes.size() - 1));
    return static_cast<uint32_t>(attributes.size() - 1);
}

void CPdfCatalog::KidPlaceOf(size_t index, int32_t& node, int32_t& place) const {
    auto it = std::lower_bound(kidPlaces.begin(), kidPlaces.end(), index,
                               [](const KidPlace& k, size_t i) { return k.page < i; });
    node = 0;
    place = -1;
    if (it != kidPlaces.end() && it->page == index) {
        node = it->node;
        place = it->place;
    }
}
