// The pages of an output: the rewritten page objects and the new one-level page tree root.
#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <unordered_set>

#include "CPdfException.h"
#include "CPdfLimits.h"
#include "app/CPdfFileSplit.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfLexer.h"

void CPdfFileSplit::ClaimPages() {
    const CPdfCatalog& cat = *document.catalog;
    catalogOut = copies->Claim(rootNumber);
    pagesOut = pagesNumber > 0 ? copies->Claim(pagesNumber) : copies->Reserve();
    for (SelectedPage& s : selection) {
        const CPdfPage& page = cat.pages[s.pageNumber - 1];
        // A page written into /Kids gets a number of its own, and is written as a page chosen
        // again is; where objects keep their numbers (encryption ties strings to them) it
        // cannot be given one.
        int32_t kidOf = 0, kidIndex = -1;
        cat.KidPlaceOf(s.pageNumber - 1, kidOf, kidIndex);
        if (page.objectNumber <= 0 && (kidOf <= 0 || keepNumbers))
            throw CPdfException("Page object is not an indirect object");
        // A page chosen again is a page object of its own, sharing what the first one uses.
        bool repeated = page.objectNumber <= 0 || copies->NumberOf(page.objectNumber) > 0;
        s.outputNumber = repeated ? copies->Reserve() : copies->Claim(page.objectNumber);
    }
}

void CPdfFileSplit::WritePages() {
    const CPdfCatalog& cat = *document.catalog;
    for (const SelectedPage& s : selection) {
        const CPdfPage& page = cat.pages[s.pageNumber - 1];
        WritePage(s, copies->NumberOf(page.objectNumber) != s.outputNumber);
    }
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

bool CPdfFileSplit::Inherit(CPdfDictionary& page, const char* key, int32_t node) const {
    if (node <= 0 || page.Has(key)) return false;
    CPdfObject holder = FetchObject(node);
    if (holder.kind != kindDictionary) return false;
    CPdfObject value = holder.dictValue->Get(key);
    if (value.kind == kindNull) return false;
    page.Set(key, value);
    return HoldsString(value);
}

CPdfObject CPdfFileSplit::PageDictionary(size_t pageIndex) const {
    const CPdfPage& page = document.catalog->pages[pageIndex];
    CPdfObject original;
    if (page.objectNumber > 0) {
        original =
            xref->Fetch(page.objectNumber, document.catalog->AttributesOf(page).objectGeneration);
    } else {
        int32_t kidOf = 0, kidIndex = -1;
        document.catalog->KidPlaceOf(pageIndex, kidOf, kidIndex);
        CPdfObject parent = FetchObject(kidOf);
        CPdfObject kids =
            parent.kind == kindDictionary ? parent.dictValue->GetResolved("Kids") : CPdfObject();
        if (kidIndex < 0) {
            original = kids;
        } else if (kids.kind == kindArray &&
                   static_cast<size_t>(kidIndex) < kids.arrayValue->GetCount()) {
            original = kids.arrayValue->GetAt(static_cast<size_t>(kidIndex));
        }
    }
    if (original.kind != kindDictionary) throw CPdfException("Corrupted PDF file");
    return original;
}

void CPdfFileSplit::WritePage(const SelectedPage& selected, bool repeated) {
    const CPdfPage& page = document.catalog->pages[selected.pageNumber - 1];
    const CPdfPageAttributes& attributes = document.catalog->AttributesOf(page);
    CPdfObject original = PageDictionary(selected.pageNumber - 1);
    auto dict = std::make_shared<CPdfDictionary>(*original.dictValue);
    dict->entries["Parent"] =
        CPdfObjectWriter::OutputReference(pagesOut, copies->GenerationOf(pagesNumber));
    // What the page inherits from the page tree is written into it.
    // Strings read from a node are the node's (encrypted for it when the key is unknown).
    bool foreignStrings = repeated;
    const bool inherited = attributes.resourcesFrom > 0 && !dict->Has("Resources");
    foreignStrings |= Inherit(*dict, "Resources", attributes.resourcesFrom);
    if (inherited && !keepNumbers) KeepUsedResources(*dict);
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
    if (repeated) annotations = CopyAnnotations(*dict, selected.outputNumber);
    CPdfObject value;
    value.SetDictionary(dict);
    int32_t generation = repeated ? 0 : copies->GenerationOf(page.objectNumber);
    WriteValueObject(selected.outputNumber, generation, value, !foreignStrings);
    for (const auto& [number, annotation] : annotations) {
        WriteValueObject(number, 0, annotation, false);
    }
}

std::vector<std::pair<int32_t, CPdfObject>> CPdfFileSplit::CopyAnnotations(CPdfDictionary& page,
                                                                           int32_t pageOut) {
    // An annotation names the one page it is on (/P): a page chosen again gets copies of its
    // annotations, which refer to each other's copies (a popup and its parent).
    std::vector<std::pair<int32_t, CPdfObject>> copiesOut;
    CPdfObject annots = page.GetResolved("Annots");
    if (annots.kind != kindArray) return copiesOut;
    std::map<int32_t, int32_t> renumbered;
    for (const CPdfObject& item : annots.arrayValue->items) {
        if (item.kind == kindReference && !renumbered.count(item.refNumber) &&
            item.Resolve(xref).kind == kindDictionary) {
            renumbered[item.refNumber] = copies->Reserve();
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

void CPdfFileSplit::WritePageTree() {
    const int32_t generation = copies->GenerationOf(pagesNumber);
    // The root of a long output is written as it is made, never held whole.
    const bool inPieces = selection.size() * 12 > CPdfObjStmWriter::kMaxValueBytes;
    if (inPieces) WriteValueHead(pagesOut, generation);
    std::string root = "<<\n/Type /Pages\n/Kids [";
    const CPdfCatalog& cat = *document.catalog;
    for (size_t i = 0; i < selection.size(); ++i) {
        const SelectedPage& s = selection[i];
        const CPdfPage& page = cat.pages[s.pageNumber - 1];
        bool repeated = copies->NumberOf(page.objectNumber) != s.outputNumber;
        int32_t pageGeneration = repeated ? 0 : copies->GenerationOf(page.objectNumber);
        root += " " + CPdfObjectWriter::ReferenceText(s.outputNumber, pageGeneration);
        if (i != 0 && i % 10 == 0) root += "\n";
        if (inPieces && root.size() >= 65536) {
            output.Write(root);
            root.clear();
        }
    }
    root += " ]\n/Count " + std::to_string(selection.size()) + "\n>>";
    if (!inPieces) {
        WriteValue(pagesOut, generation, root);
        return;
    }
    output.Write(root);
    WriteValueEnd();
}

namespace {
// The resources cut to what the content names: images, forms and fonts, which hold nearly all
// the bytes. Colour spaces, patterns, shadings and graphics states stay whole: small, and some
// renderers look at them beyond the names a content uses.
const char* const kNamedResources[] = {"XObject", "Font"};

// The name tokens of content stream bytes ("#" escapes decoded), strings skipped.
void CollectNames(const std::string& data, std::unordered_set<std::string>& names) {
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '(') {
            for (int depth = 0; i < data.size(); ++i) {
                if (data[i] == '\\') {
                    ++i;
                } else if (data[i] == '(') {
                    ++depth;
                } else if (data[i] == ')' && --depth == 0) {
                    break;
                }
            }
            continue;
        }
        if (data[i] != '/') continue;
        std::string name;
        for (++i; i < data.size() &&
                  CPdfLexer::ClassOf(static_cast<unsigned char>(data[i])) == CPdfLexer::regular;
             ++i) {
            if (data[i] == '#' && i + 2 < data.size() &&
                std::isxdigit(static_cast<unsigned char>(data[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(data[i + 2]))) {
                name.push_back(static_cast<char>(std::stoi(data.substr(i + 1, 2), nullptr, 16)));
                i += 2;
            } else {
                name.push_back(data[i]);
            }
        }
        names.insert(name);
        --i;
    }
}

// Whether a form XObject, Type 3 font or appearance stream has no resources of its own, and
// so draws with the page's.
bool BorrowsResources(const CPdfObject& value) {
    const CPdfDictionary* dict = value.kind == kindStream       ? value.streamValue->GetDict()
                                 : value.kind == kindDictionary ? value.dictValue.get()
                                                                : nullptr;
    return dict && !dict->Has("Resources");
}
}  // namespace

bool CPdfFileSplit::ContentNames(const CPdfDictionary& page,
                                 std::unordered_set<std::string>& names) const {
    CPdfObject contents = page.GetResolved("Contents");
    std::vector<CPdfObject> list;
    if (contents.kind == kindArray) {
        list = contents.arrayValue->items;
    } else if (contents.kind != kindNull) {
        list.push_back(page.Get("Contents"));
    }
    size_t total = 0;
    uint8_t chunk[16384];
    for (const CPdfObject& item : list) {
        CPdfObject stream = item.Resolve(xref);
        if (stream.kind != kindStream) return false;
        std::string data;
        for (size_t got; (got = stream.streamValue->Read(chunk, sizeof chunk)) > 0;) {
            total += got;
            if (total > CPdfLimits::kMaxScannedContentBytes) return false;
            data.append(reinterpret_cast<const char*>(chunk), got);
        }
        if (!stream.streamValue->Complete()) return false;
        CollectNames(data, names);
    }
    return true;
}

bool CPdfFileSplit::DrawsWithPageResources(const CPdfDictionary& page, const CPdfObject& resources,
                                           const std::unordered_set<std::string>& names) const {
    for (const char* key : {"XObject", "Font"}) {
        CPdfObject sub = resources.dictValue->GetResolved(key);
        if (sub.kind != kindDictionary) continue;
        for (const auto& [name, ref] : sub.dictValue->entries) {
            if (!names.count(name)) continue;
            // Fonts and forms are shared by many pages: each is looked at once a run.
            auto known =
                ref.kind == kindReference ? borrowers.find(ref.refNumber) : borrowers.end();
            if (known != borrowers.end()) {
                if (known->second) return true;
                continue;
            }
            CPdfObject value = ref.Resolve(xref);
            const CPdfDictionary* dict = value.kind == kindStream ? value.streamValue->GetDict()
                                         : value.kind == kindDictionary ? value.dictValue.get()
                                                                        : nullptr;
            bool drawn = dict && (dict->Get("Subtype").IsName("Form") ||
                                  dict->Get("Subtype").IsName("Type3"));
            bool borrows = drawn && BorrowsResources(value);
            if (ref.kind == kindReference) borrowers[ref.refNumber] = borrows;
            if (borrows) return true;
        }
    }
    CPdfObject annots = page.GetResolved("Annots");
    for (size_t i = 0; annots.kind == kindArray && i < annots.arrayValue->GetCount(); ++i) {
        CPdfObject annotation = annots.arrayValue->GetResolvedAt(i);
        if (annotation.kind != kindDictionary) continue;
        CPdfObject appearances = annotation.dictValue->GetResolved("AP");
        if (appearances.kind != kindDictionary) continue;
        for (const auto& entry : appearances.dictValue->entries) {
            CPdfObject state = entry.second.Resolve(xref);
            if (state.kind == kindStream && BorrowsResources(state)) return true;
            if (state.kind != kindDictionary) continue;
            for (const auto& one : state.dictValue->entries) {
                CPdfObject stream = one.second.Resolve(xref);
                if (stream.kind == kindStream && BorrowsResources(stream)) return true;
            }
        }
    }
    return false;
}

void CPdfFileSplit::KeepUsedResources(CPdfDictionary& page) const {
    // Resources shared through the page tree are often those of many pages together: the
    // page keeps the ones its content names, unless something it draws may use the others.
    CPdfObject resources = page.GetResolved("Resources");
    if (resources.kind != kindDictionary) return;
    std::unordered_set<std::string> names;
    if (!ContentNames(page, names) || DrawsWithPageResources(page, resources, names)) return;
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
