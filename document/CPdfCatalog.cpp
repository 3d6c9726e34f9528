#include "document/CPdfCatalog.h"

#include <algorithm>
#include <set>

#include "CPdfException.h"
#include "file/CPdfXRef.h"
#include "object/CPdfScan.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

namespace {
// One /Pages node being walked: its kids and how far the walk has come.
struct NodeVisit {
    std::shared_ptr<CPdfArray> kids;
    size_t next = 0;
    CPdfInherited inherited;
    CPdfObject node;  // keeps the node's dictionary alive
};

// The attributes that a node passes on to what is below it.
CPdfInherited Inherit(const CPdfInherited& above, const CPdfDictionary& node, int32_t number) {
    CPdfInherited out = above;
    if (node.Has("Resources")) {
        out.resources = node.Get("Resources");
        out.resourcesNode = number;
        out.hasResources = true;
    }
    if (node.Has("CropBox")) {
        out.cropBoxNode = number;
        out.hasCropBox = true;
    }
    if (node.Has("Rotate")) {
        out.rotate = node.Get("Rotate");
        out.rotateNode = number;
        out.hasRotate = true;
    }
    CPdfObject box = node.GetResolved("MediaBox");
    if (box.kind == kindArray) {
        for (int i = 0; i < 4; ++i) {
            out.mediaBox[i] = 0;
            if (static_cast<size_t>(i) >= box.arrayValue->GetCount()) continue;
            CPdfObject v = box.arrayValue->GetResolvedAt(i);
            if (v.IsNumber()) out.mediaBox[i] = v.GetNumber();
        }
    }
    return out;
}

std::shared_ptr<CPdfArray> KidsOf(const CPdfDictionary& node) {
    CPdfObject kids = node.GetResolved("Kids");
    if (kids.kind != kindArray) throw CPdfException("Kids CPdfObject is wrong type");
    return kids.arrayValue;
}
}  // namespace

void CPdfCatalog::Load(CPdfXRef* table) {
    xref = table;
    pages.clear();
    nodeNumbers.clear();
    CPdfObject catalog = xref->Fetch(xref->rootNum, xref->rootGen);
    if (catalog.kind != kindDictionary) throw CPdfException("Catalog CPdfObject is wrong type");
    const CPdfDictionary& cat = *catalog.dictValue;
    CPdfObject pagesRef = cat.Get("Pages");
    if (pagesRef.kind == kindReference) {
        pagesNumber = pagesRef.refNumber;
        pagesGeneration = pagesRef.refGeneration;
    }
    CPdfObject root = cat.GetResolved("Pages");
    if (root.kind != kindDictionary) throw CPdfException("Top-level pages CPdfObject is wrong type");
    CPdfObject count = root.dictValue->GetResolved("Count");
    if (!count.IsNumber()) {
        throw CPdfException("Page count in top-level pages CPdfObject is wrong type");
    }
    // The root's /Count is only a hint: it sizes the list (within what the table can hold)
    // so that a long document's list is not copied as it grows.
    if (count.kind == kindInteger && count.intValue > 0) {
        pages.reserve(static_cast<size_t>(
            std::min<int64_t>(count.intValue, static_cast<int64_t>(xref->entries.size()))));
    }
    AddPages(*root.dictValue);

    CPdfObject names = cat.GetResolved("Names");
    dests = names.kind == kindDictionary ? names.dictValue->GetResolved("Dests") : CPdfObject(kindNull);
    oldDests = cat.GetResolved("Dests");
    outlines = cat.GetResolved("Outlines");
}

void CPdfCatalog::AddPages(const CPdfDictionary& rootNode) {
    // Walked with an explicit stack, so no tree can exhaust the call stack; a node met twice
    // means the tree loops back on itself.
    std::set<int32_t> seenNodes;
    if (pagesNumber > 0) {
        seenNodes.insert(pagesNumber);
        nodeNumbers.push_back(pagesNumber);
    }
    std::vector<NodeVisit> stack;
    stack.push_back({KidsOf(rootNode), 0, Inherit(CPdfInherited(), rootNode, pagesNumber), {}});
    while (!stack.empty()) {
        NodeVisit& top = stack.back();
        if (top.next >= top.kids->GetCount()) {
            stack.pop_back();
            continue;
        }
        const CPdfObject& kidRef = top.kids->GetAt(top.next++);
        CPdfObject kid = ReadKid(kidRef);
        if (kid.kind != kindDictionary) throw CPdfException("Kid CPdfObject is wrong type");
        const CPdfDictionary& dict = *kid.dictValue;
        if (dict.IsType("Page")) {
            LoadLeaf(kidRef, dict, top.inherited);
            continue;
        }
        int32_t number = kidRef.kind == kindReference ? kidRef.refNumber : 0;
        if (number > 0 && !seenNodes.insert(number).second) {
            throw CPdfException("Page tree contains a cycle");
        }
        if (number > 0) nodeNumbers.push_back(number);
        if (stack.size() >= kMaxTreeDepth) throw CPdfException("Page tree is too deep");
        CPdfInherited inherited = Inherit(top.inherited, dict, number);
        stack.push_back({KidsOf(dict), 0, std::move(inherited), kid});
    }
}

CPdfObject CPdfCatalog::ReadKid(const CPdfObject& kidRef) {
    if (kidRef.kind != kindReference) return kidRef;
    // What the walk needs of a page is its own entries and their arrays: plain page
    // dictionaries are read quickly, others in the parser's scanning mode, which does not
    // build the dictionaries inside them either.
    CPdfObject kid;
    if (xref->FetchShallow(kidRef.refNumber, kidRef.refGeneration, kid)) return kid;
    CPdfScan scan;
    scan.buildArrays = 2;
    return xref->Fetch(kidRef.refNumber, kidRef.refGeneration, &scan);
}

void CPdfCatalog::LoadLeaf(const CPdfObject& kidRef, const CPdfDictionary& kid,
                           const CPdfInherited& inherited) {
    CPdfPage page;
    page.Load(static_cast<int>(pages.size() + 1), xref, kid, inherited);
    if (kidRef.kind == kindReference) {
        page.objectNumber = kidRef.refNumber;
        page.objectGeneration = kidRef.refGeneration;
    }
    CPdfInherited own = Inherit(inherited, kid, page.objectNumber);
    for (int i = 0; i < 4; ++i) page.mediaBox[i] = own.mediaBox[i];
    pages.push_back(std::move(page));
}
