// Page copying for the split job: which source objects an output needs, the rewritten page
// objects and the new one-level page tree root.
#include <algorithm>
#include <cstdio>

#include "CPdfException.h"
#include "app/CPdfFileSplit.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfRawDictionary.h"

namespace {
const char* const kInheritedKeys[3] = {"Resources", "CropBox", "Rotate"};

std::string Ref(int32_t number, int32_t generation) {
    return std::to_string(number) + " " + std::to_string(generation) + " R";
}
}  // namespace

void CPdfFileSplit::SetMark(int32_t number, bool on) {
    if (number < 0 || static_cast<size_t>(number) >= marks.size()) return;
    if (on && !marks[static_cast<size_t>(number)]) marked.push_back(number);
    marks[static_cast<size_t>(number)] = on ? 1 : 0;
}

bool CPdfFileSplit::IsMarked(int32_t number) const {
    return number >= 0 && static_cast<size_t>(number) < marks.size() &&
           marks[static_cast<size_t>(number)] != 0;
}

void CPdfFileSplit::ScanReferences(int32_t number, bool markSelf, bool skipPages) {
    SetMark(number, markSelf);
    FollowReferences(index->Get(number).refs, skipPages);
}

void CPdfFileSplit::FollowReferences(const std::vector<int32_t>& refs, bool skipPages) {
    // An explicit work list: reference chains of any length cannot exhaust the stack.
    std::vector<int32_t> work(refs.rbegin(), refs.rend());
    while (!work.empty()) {
        int32_t m = work.back();
        work.pop_back();
        if (m <= 0 || static_cast<size_t>(m) >= marks.size() || IsMarked(m)) continue;
        if (treeNodes[static_cast<size_t>(m)]) continue;  // the outputs have their own tree
        const CPdfObjectInfo& info = index->Get(m);
        // Free and missing objects stay free: the reference reads as null.
        if (!info.present || info.hasPages || (info.hasPage && skipPages)) continue;
        SetMark(m, true);
        work.insert(work.end(), info.refs.rbegin(), info.refs.rend());
    }
}

void CPdfFileSplit::PrepareRun() {
    const CPdfCatalog& catalog = *document.catalog;
    pagesNumber = catalog.pagesNumber;
    pagesGeneration = catalog.pagesGeneration;
    if (pagesNumber <= 0 || static_cast<size_t>(pagesNumber) >= xref->entries.size()) {
        throw CPdfException("Page tree root is not an indirect object");
    }
    walkCount = 0;
    pageSlots.assign(catalog.GetPageCount(), PageSlot());
    for (const CPdfPage& page : catalog.pages) {
        pageSlots[walkCount++].page = &page;
    }

    CPdfObject root = xref->Fetch(rootNumber, rootGeneration);
    CPdfObject outlines =
        root.kind == kindDictionary ? root.dictValue->Get("Outlines") : CPdfObject(kindNull);
    if (outlines.kind == kindReference) {
        hasOutlines = true;
        outlinesNumber = outlines.refNumber;
        outlinesGeneration = outlines.refGeneration;
    }

    // What the catalog reaches is the same for every output: find it once. The outline is
    // rebuilt for each output, so the catalog's scan does not copy it.
    marks.assign(xref->entries.size(), 0);
    treeNodes.assign(xref->entries.size(), 0);
    for (int32_t n : catalog.nodeNumbers) {
        if (static_cast<size_t>(n) < treeNodes.size()) treeNodes[static_cast<size_t>(n)] = 1;
    }
    marked.clear();
    if (hasOutlines) SetMark(outlinesNumber, true);
    ScanReferences(rootNumber, true, true);
    if (infoNumber > 0) ScanReferences(infoNumber, true, true);
    if (encryptNumber > 0) ScanReferences(encryptNumber, true, true);
    for (int32_t n : marked) {
        if (IsMarked(n) && !(hasOutlines && n == outlinesNumber)) catalogObjects.push_back(n);
    }
    if (hasOutlines) LoadOutlineItems();
    prepared = true;
}

void CPdfFileSplit::PrepareDocument() {
    if (!prepared) PrepareRun();
    for (int32_t n : marked) marks[static_cast<size_t>(n)] = 0;
    marked.clear();
    for (int32_t n : catalogObjects) SetMark(n, true);
    // Only the previous document's pages are marked: one file per page stays linear.
    for (const SelectedPage& s : selection) pageSlots[s.pageNumber - 1].selected = false;
}

const CPdfFileSplit::InheritedValue& CPdfFileSplit::Inherited(int32_t node, int which) {
    auto key = std::make_pair(node, which);
    auto it = inheritedValues.find(key);
    if (it != inheritedValues.end()) return it->second;
    InheritedValue value;
    std::string text = index->ReadText(node);
    CPdfRawDictionary dict;
    if (!text.empty() && dict.Scan(text)) {
        if (const CPdfRawEntry* entry = dict.Find(kInheritedKeys[which])) {
            value.text = dict.ValueText(text, *entry);
            CPdfObjectIndex::CollectReferences(entry->value, value.refs);
        }
    }
    return inheritedValues.emplace(key, std::move(value)).first->second;
}

void CPdfFileSplit::CollectPageObjects() {
    for (const SelectedPage& s : selection) {
        const PageSlot& slot = pageSlots[s.pageNumber - 1];
        if (slot.ObjectNumber() <= 0) throw CPdfException("Page object is not an indirect object");
        // Other page objects that a page refers to (the destination of a link, the /P of an
        // annotation) are not copied: outside the page tree they are pages that readers
        // cannot place, and report as errors. Such a reference reads as null.
        ScanReferences(slot.ObjectNumber(), false, true);
        // What the page inherits is written into it, so what that refers to is copied too.
        for (int k = 0; k < 3; ++k) {
            if (slot.InheritFrom(k) > 0)
                FollowReferences(Inherited(slot.InheritFrom(k), k).refs, true);
        }
    }
    SetMark(rootNumber, true);
    if (infoNumber > 0) SetMark(infoNumber, true);
}

void CPdfFileSplit::WriteMarkedObjects() {
    std::sort(marked.begin(), marked.end());
    marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
    for (int32_t n : marked) {
        if (!IsMarked(n) || n <= 0) continue;
        const CPdfObjectInfo& info = index->Get(n);
        if (!info.present) continue;
        MarkWritten(n, info.compressed ? 0 : info.generation);
        index->CopyText(n, output);
    }
}

std::string CPdfFileSplit::RewritePage(const PageSlot& slot) {
    std::string text = index->ReadText(slot.ObjectNumber());
    CPdfRawDictionary dict;
    if (text.empty() || !dict.Scan(text)) throw CPdfException("Corrupted PDF file");

    std::string insert;
    if (!dict.Find("MediaBox")) {
        char box[160];
        std::snprintf(box, sizeof box, "\n/MediaBox [ %f %f %f %f ]\n", slot.page->mediaBox[0],
                      slot.page->mediaBox[1], slot.page->mediaBox[2], slot.page->mediaBox[3]);
        insert += box;
    }
    for (int k = 0; k < 3; ++k) {
        if (slot.InheritFrom(k) <= 0 || dict.Find(kInheritedKeys[k])) continue;
        const InheritedValue& value = Inherited(slot.InheritFrom(k), k);
        if (value.text.empty()) continue;
        if (insert.empty()) insert = "\n";
        insert += "/" + std::string(kInheritedKeys[k]) + " " + value.text + "\n";
    }
    if (slot.page->resourcesMissing)
        insert += insert.empty() ? "\n/Resources << >>\n" : "/Resources << >>\n";
    const std::string parent = Ref(pagesNumber, pagesGeneration);
    if (const CPdfRawEntry* p = dict.Find("Parent")) {
        text.replace(p->valueStart, p->valueEnd - p->valueStart, parent);
    } else {
        insert += (insert.empty() ? "\n/Parent " : "/Parent ") + parent + "\n";
    }
    text.insert(dict.open, insert);
    return text;
}

void CPdfFileSplit::WritePageTree() {
    std::string root = std::to_string(pagesNumber) + " " + std::to_string(pagesGeneration) +
                       " obj\n<<\n/Type /Pages\n/Kids [";
    for (size_t i = 0; i < selection.size(); ++i) {
        SelectedPage& page = selection[i];
        const PageSlot& slot = pageSlots[page.pageNumber - 1];
        std::string text = RewritePage(slot);
        MarkWritten(slot.ObjectNumber(), slot.Generation());
        output.Write(text);
        root += " " + Ref(slot.ObjectNumber(), slot.Generation());
        if (i != 0 && i % 10 == 0) root += "\n";
        page.outputNumber = slot.ObjectNumber();
    }
    root += " ]\n/Count " + std::to_string(selection.size()) + "\n>>\nendobj\n";
    MarkWritten(pagesNumber, pagesGeneration);
    output.Write(root);
}
