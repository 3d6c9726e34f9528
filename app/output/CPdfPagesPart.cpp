#include "app/output/CPdfPagesPart.h"

#include <algorithm>
#include <map>
#include <string>
#include <unordered_set>

#include "CPdfException.h"
#include "CPdfLimits.h"
#include "CPdfMessages.h"
#include "app/output/CPdfOutputObjects.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "document/CPdfResourceUse.h"
#include "file/CPdfCopySet.h"
#include "file/CPdfFile.h"
#include "file/CPdfObjStmWriter.h"
#include "file/CPdfOutputFile.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"

CPdfPagesPart::CPdfPagesPart(CPdfOutputObjects& outputObjects)
    : objects(outputObjects),
      resourceUse(std::make_unique<CPdfResourceUse>(*outputObjects.Xref())) {
    const CPdfCatalog& cat = *objects.Document().catalog;
    pagesNumber = cat.pagesNumber;
    // Pages and page tree nodes are written anew for every output.
    for (int32_t n : cat.nodeNumbers) objects.Copies().Skip(n);
    for (const CPdfPage& page : cat.pages) objects.Copies().Skip(page.objectNumber);
    for (int32_t n : cat.unreadKids) objects.Copies().Skip(n);
}

CPdfPagesPart::~CPdfPagesPart() = default;

void CPdfPagesPart::PlanOutput() {
    const CPdfCatalog& cat = *objects.Document().catalog;
    CPdfCopySet& copies = objects.Copies();
    const bool keepNumbers = objects.KeepsNumbers();
    const std::vector<SelectedPage>& selection = objects.Selection();
    annotationCopies.clear();
    pagesOut = pagesNumber > 0 ? copies.Claim(pagesNumber) : copies.Reserve();
    if (!keepNumbers && !selection.empty()) NumberFirstResources(selection.front());
    for (size_t i = 0; i < selection.size(); ++i) {
        const SelectedPage& s = selection[i];
        const CPdfPage& page = cat.pages[s.pageNumber - 1];
        // A page written into /Kids gets a number of its own, and is written as a page chosen
        // again is; where objects keep their numbers (encryption ties strings to them) it
        // cannot be given one.
        int32_t kidOf = 0, kidIndex = -1;
        cat.KidPlaceOf(s.pageNumber - 1, kidOf, kidIndex);
        if (page.objectNumber <= 0 && (kidOf <= 0 || keepNumbers))
            throw CPdfException(CPdfMessages::kPageNotIndirect);
        // A page chosen again is a page object of its own, sharing what the first one uses.
        if (page.objectNumber <= 0 || copies.NumberOf(page.objectNumber) > 0) {
            objects.NumberCopy(i, copies.Reserve());
        } else {
            copies.Claim(page.objectNumber);
        }
    }
}

void CPdfPagesPart::NumberFirstResources(const SelectedPage& first) {
    // What the first page's own resources name (its fonts above all, which the pages of a
    // document mostly share) takes the numbers before the pages, so that every page names it
    // in few digits. Only what the page writes as it stands: it is written in any case.
    CPdfObject page = PageDictionary(first.pageNumber - 1);
    CPdfObject resources = page.dictValue->Get("Resources");
    std::vector<int32_t> refs;
    if (resources.kind == kindReference) refs.push_back(resources.refNumber);
    CPdfObject dict = resources.Resolve(objects.Xref());
    if (dict.kind != kindDictionary) return;
    for (const char* key : {"Font", "XObject", "ExtGState", "ColorSpace", "Pattern", "Shading"}) {
        CPdfObject group = dict.dictValue->GetResolved(key);
        if (group.kind != kindDictionary) continue;
        for (const auto& entry : group.dictValue->entries) {
            if (entry.second.kind == kindReference) refs.push_back(entry.second.refNumber);
        }
    }
    for (int32_t number : refs) {
        int32_t generation = 0;
        objects.Copies().Map(number, generation);
    }
}

void CPdfPagesPart::Write() {
    for (size_t i = 0; i < objects.Selection().size(); ++i) WritePage(i);
}

void CPdfPagesPart::FillCatalog(CPdfDictionary& catalog) {
    catalog.entries["Pages"] =
        CPdfObjectWriter::OutputReference(pagesOut, objects.Copies().GenerationOf(pagesNumber));
}

namespace {
// Whether a parsed value holds a string (parsed values nest only to the parser's limit).
bool HoldsString(const CPdfObject& value) {
    switch (value.kind) {
        case kindString:
            return true;
        case kindArray:
            return std::any_of(value.arrayValue->items.begin(), value.arrayValue->items.end(),
                               HoldsString);
        case kindDictionary:
            return std::any_of(value.dictValue->entries.begin(), value.dictValue->entries.end(),
                               [](const auto& entry) { return HoldsString(entry.second); });
        default:
            return false;
    }
}
}  // namespace

bool CPdfPagesPart::Inherit(CPdfDictionary& page, const char* key, int32_t node) const {
    if (node <= 0 || page.Has(key)) return false;
    CPdfObject holder = objects.FetchObject(node);
    if (holder.kind != kindDictionary) return false;
    CPdfObject value = holder.dictValue->Get(key);
    if (value.kind == kindNull) return false;
    page.Set(key, value);
    return HoldsString(value);
}

CPdfObject CPdfPagesPart::PageDictionary(size_t pageIndex) const {
    const CPdfCatalog& cat = *objects.Document().catalog;
    const CPdfPage& page = cat.pages[pageIndex];
    CPdfObject original;
    if (page.objectNumber > 0) {
        original =
            objects.Xref()->Fetch(page.objectNumber, cat.AttributesAt(pageIndex).objectGeneration);
    } else {
        int32_t kidOf = 0, kidIndex = -1;
        cat.KidPlaceOf(pageIndex, kidOf, kidIndex);
        CPdfObject parent = objects.FetchObject(kidOf);
        CPdfObject kids =
            parent.kind == kindDictionary ? parent.dictValue->GetResolved("Kids") : CPdfObject();
        if (kidIndex < 0) {
            original = kids;
        } else if (kids.kind == kindArray &&
                   static_cast<size_t>(kidIndex) < kids.arrayValue->GetCount()) {
            original = kids.arrayValue->GetAt(static_cast<size_t>(kidIndex));
        }
    }
    if (original.kind != kindDictionary) throw CPdfException(CPdfMessages::kCorrupted);
    return original;
}

void CPdfPagesPart::WritePage(size_t index) {
    const SelectedPage& selected = objects.Selection()[index];
    const bool repeated = objects.IsCopy(index);  // a further copy of a page the output holds
    const int32_t pageOut = objects.PageObjectAt(index);
    const CPdfCatalog& cat = *objects.Document().catalog;
    const CPdfPage& page = cat.pages[selected.pageNumber - 1];
    const CPdfPageAttributes& attributes = cat.AttributesAt(selected.pageNumber - 1);
    CPdfCopySet& copies = objects.Copies();
    CPdfObject original = PageDictionary(selected.pageNumber - 1);
    auto dict = std::make_shared<CPdfDictionary>(*original.dictValue);
    dict->entries["Parent"] =
        CPdfObjectWriter::OutputReference(pagesOut, copies.GenerationOf(pagesNumber));
    // What the page inherits from the page tree is written into it.
    // Strings read from a node are the node's (encrypted for it when the key is unknown).
    bool foreignStrings = repeated;
    const bool inherited = attributes.resourcesFrom > 0 && !dict->Has("Resources");
    foreignStrings |= Inherit(*dict, "Resources", attributes.resourcesFrom);
    if (inherited && !objects.KeepsNumbers()) KeepUsedResources(*dict);
    foreignStrings |= Inherit(*dict, "CropBox", attributes.cropBoxFrom);
    foreignStrings |= Inherit(*dict, "Rotate", attributes.rotateFrom);
    if (!dict->Has("Resources")) {
        CPdfObject resources(kindNull);
        if (attributes.resources.kind == kindReference) {
            resources = CPdfObject::Reference(attributes.resources.refNumber,
                                              attributes.resources.refGeneration);
        } else {
            resources.NewDictionary(nullptr);
        }
        dict->Set("Resources", resources);
    }
    if (!dict->Has("MediaBox")) {
        CPdfObject box;
        box.NewArray(nullptr);
        for (double v : attributes.mediaBox) box.arrayValue->Append(CPdfObject::Real(v));
        dict->Set("MediaBox", box);
    }
    std::vector<std::pair<int32_t, CPdfObject>> annotations;
    if (repeated) annotations = CopyAnnotations(*dict, pageOut);
    CPdfObject value;
    value.SetDictionary(dict);
    int32_t generation = repeated ? 0 : copies.GenerationOf(page.objectNumber);
    objects.WriteValueObject(pageOut, generation, value, !foreignStrings);
    for (const auto& [number, annotation] : annotations) {
        objects.WriteValueObject(number, 0, annotation, false);
    }
}

std::vector<std::pair<int32_t, CPdfObject>> CPdfPagesPart::CopyAnnotations(CPdfDictionary& page,
                                                                           int32_t pageOut) {
    // An annotation names the one page it is on (/P): a page chosen again gets copies of its
    // annotations, which refer to each other's copies (a popup and its parent).
    std::vector<std::pair<int32_t, CPdfObject>> copiesOut;
    CPdfObject annots = page.GetResolved("Annots");
    if (annots.kind != kindArray) return copiesOut;
    CPdfXRef* xref = objects.Xref();
    std::map<int32_t, int32_t> renumbered;
    for (const CPdfObject& item : annots.arrayValue->items) {
        if (item.kind == kindReference && !renumbered.count(item.refNumber) &&
            item.Resolve(xref).kind == kindDictionary) {
            renumbered[item.refNumber] = objects.Copies().Reserve();
        }
    }
    auto rewrite = [&](const CPdfObject& annotation) {
        auto dict = std::make_shared<CPdfDictionary>(*annotation.dictValue);
        for (auto& entry : dict->entries) {
            auto it = entry.second.kind == kindReference ? renumbered.find(entry.second.refNumber)
                                                         : renumbered.end();
            if (it != renumbered.end())
                entry.second = CPdfObjectWriter::OutputReference(it->second);
        }
        dict->entries["P"] = CPdfObjectWriter::OutputReference(pageOut);
        CPdfObject out;
        out.SetDictionary(dict);
        return out;
    };
    CPdfObject list;
    list.NewArray(nullptr);
    for (const CPdfObject& item : annots.arrayValue->items) {
        CPdfObject annotation = item.Resolve(xref);
        if (annotation.kind != kindDictionary) continue;
        if (item.kind != kindReference) {
            list.arrayValue->Append(rewrite(annotation));
            continue;
        }
        int32_t number = renumbered[item.refNumber];
        list.arrayValue->Append(CPdfObjectWriter::OutputReference(number));
        if (std::none_of(copiesOut.begin(), copiesOut.end(),
                         [&](const auto& c) { return c.first == number; })) {
            copiesOut.emplace_back(number, rewrite(annotation));
            annotationCopies.emplace_back(item.refNumber, number);
        }
    }
    page.entries["Annots"] = list;
    return copiesOut;
}

void CPdfPagesPart::WritePageTree() {
    CPdfFile& file = objects.File();
    const std::vector<SelectedPage>& selection = objects.Selection();
    const int32_t generation = objects.Copies().GenerationOf(pagesNumber);
    // The root of a long output is written as it is made, never held whole.
    const bool inPieces = selection.size() * 12 > CPdfObjStmWriter::kMaxValueBytes;
    if (inPieces) file.WriteValueHead(pagesOut, generation);
    std::string root = "<<\n/Type /Pages\n/Kids [";
    const CPdfCatalog& cat = *objects.Document().catalog;
    for (size_t i = 0; i < selection.size(); ++i) {
        const SelectedPage& s = selection[i];
        const CPdfPage& page = cat.pages[s.pageNumber - 1];
        int32_t pageGeneration =
            objects.IsCopy(i) ? 0 : objects.Copies().GenerationOf(page.objectNumber);
        root += " " + CPdfObjectWriter::ReferenceText(objects.PageObjectAt(i), pageGeneration);
        if (i != 0 && i % 10 == 0) root += "\n";
        if (inPieces && root.size() >= 65536) {
            file.Output().Write(root);
            root.clear();
        }
    }
    root += " ]\n/Count " + std::to_string(selection.size()) + "\n>>\n";
    if (!inPieces) {
        file.WriteValue(pagesOut, generation, root);
        return;
    }
    file.Output().Write(root);
    file.WriteValueEnd();
}

namespace {
// The resources cut to what the page draws with: images, forms and fonts, which hold nearly all
// the bytes. Colour spaces, patterns, shadings and graphics states stay whole: small, and some
// renderers look at them beyond the names a content uses.
const char* const kNamedResources[] = {"XObject", "Font"};
}  // namespace

void CPdfPagesPart::KeepUsedResources(CPdfDictionary& page) const {
    // Resources shared through the page tree are often those of many pages together: the
    // page keeps the ones its drawing can look up, unless it cannot be read whole.
    CPdfObject resources = page.GetResolved("Resources");
    if (resources.kind != kindDictionary) return;
    CPdfResourceUse::Names names;
    if (!resourceUse->NamesOf(page, *resources.dictValue, names)) return;
    auto kept = std::make_shared<CPdfDictionary>(*resources.dictValue);
    for (const char* key : kNamedResources) {
        CPdfObject sub = kept->GetResolved(key);
        if (sub.kind != kindDictionary) continue;
        auto used = std::make_shared<CPdfDictionary>(nullptr);
        for (const auto& [name, value] : sub.dictValue->entries) {
            if (names.count(name)) used->Set(name, value);
        }
        if (used->entries.empty()) {
            kept->entries.erase(key);
            continue;
        }
        CPdfObject usedValue;
        usedValue.SetDictionary(used);
        kept->entries[key] = usedValue;
    }
    CPdfObject value;
    value.SetDictionary(kept);
    page.entries["Resources"] = value;
}
