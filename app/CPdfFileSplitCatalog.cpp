// The catalog of an output: the source's catalog with its document-level parts pruned to the
// output's pages. Named destinations keep the names that open one of its pages, page labels
// are rebuilt so that each page shows the label it had, and actions that would open a page
// left out are dropped; everything else is kept as it is.
#include <algorithm>

#include "app/CPdfFileSplit.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

namespace {
CPdfObject StringValue(const std::string& bytes) {
    CPdfObject value(kindString);
    value.stringValue = CPdfString(bytes.data(), bytes.size());
    return value;
}

CPdfObject DictionaryValue(std::shared_ptr<CPdfDictionary> dict) {
    CPdfObject value;
    value.SetDictionary(std::move(dict));
    return value;
}
}  // namespace

CPdfObject CPdfFileSplit::DirectDestination(const CPdfObject& value) const {
    // A named destination is the destination array, or a dictionary whose /D holds it: the
    // array itself is written, in the place of an object of its own.
    CPdfObject dest = value.Resolve(xref);
    if (dest.kind == kindDictionary && dest.dictValue->entries.size() == 1) {
        dest = dest.dictValue->GetResolved("D");
    }
    return dest.kind == kindArray ? dest : value;
}

std::vector<uint32_t> CPdfFileSplit::KeptDestinations(bool inTree) const {
    std::vector<uint32_t> kept;
    for (int32_t page : ChosenPageObjects()) {
        const std::vector<uint32_t>& on = destinations.OnPage(inTree, page);
        kept.insert(kept.end(), on.begin(), on.end());
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

CPdfObject CPdfFileSplit::PrunedNames() {
    CPdfObject names = catalog.dictValue->GetResolved("Names");
    if (names.kind != kindDictionary) return CPdfObject(kindNull);
    auto dict = std::make_shared<CPdfDictionary>(*names.dictValue);
    dict->entries.erase("Dests");
    std::vector<uint32_t> kept = KeptDestinations(true);
    if (kept.size() > kNamesPerLeaf) {
        // Many names: leaves of their own under a root of kids, each leaf made and written in
        // turn, so that a long document's destinations are never held at once.
        CPdfObject kids;
        kids.NewArray(nullptr);
        for (size_t at = 0; at < kept.size(); at += kNamesPerLeaf) {
            const size_t end = std::min(kept.size(), at + kNamesPerLeaf);
            CPdfObject limits;
            limits.NewArray(nullptr);
            for (size_t k : {at, end - 1}) {
                const std::string name = destinations.NameOf(true, kept[k]);
                limits.arrayValue->Append(StringValue(name));
            }
            auto leaf = std::make_shared<CPdfDictionary>(nullptr);
            leaf->Set("Limits", limits);
            leaf->Set("Names", DestinationPairs(kept, at, end));
            const int32_t number = copies->Reserve();
            WriteValueObject(number, 0, DictionaryValue(leaf), false);
            kids.arrayValue->Append(CPdfObjectWriter::OutputReference(number));
        }
        auto root = std::make_shared<CPdfDictionary>(nullptr);
        root->Set("Kids", kids);
        dict->Set("Dests", DictionaryValue(root));
    } else if (!kept.empty()) {
        // One node, its names in order.
        auto node = std::make_shared<CPdfDictionary>(nullptr);
        node->Set("Names", DestinationPairs(kept, 0, kept.size()));
        dict->Set("Dests", DictionaryValue(node));
    }
    if (dict->entries.empty()) return CPdfObject(kindNull);
    return DictionaryValue(dict);
}

CPdfObject CPdfFileSplit::DestinationPairs(const std::vector<uint32_t>& kept, size_t from,
                                           size_t to) const {
    CPdfObject pairs;
    pairs.NewArray(nullptr);
    for (size_t i = from; i < to; ++i) {
        pairs.arrayValue->Append(StringValue(destinations.NameOf(true, kept[i])));
        pairs.arrayValue->Append(DirectDestination(destinations.ValueOf(true, kept[i])));
    }
    return pairs;
}

CPdfObject CPdfFileSplit::PrunedDests() {
    std::vector<uint32_t> kept = KeptDestinations(false);
    if (kept.empty()) return CPdfObject(kindNull);
    if (kept.size() > kNamesPerLeaf) {
        // Many names: the dictionary is an object of its own, its text made entry by entry.
        std::string text = "<<";
        for (uint32_t k : kept) {
            text += "/" + CPdfObjectWriter::NameText(destinations.NameOf(false, k)) + " ";
            writer->Write(DirectDestination(destinations.ValueOf(false, k)), text);
        }
        text += ">>";
        const int32_t number = copies->Reserve();
        WriteValueObject(number, 0, CPdfObjectWriter::Verbatim(text), false);
        return CPdfObjectWriter::OutputReference(number);
    }
    auto dict = std::make_shared<CPdfDictionary>(nullptr);
    for (uint32_t k : kept) {
        dict->Set(destinations.NameOf(false, k), DirectDestination(destinations.ValueOf(false, k)));
    }
    return DictionaryValue(dict);
}

bool CPdfFileSplit::LeadsToPageLeftOut(const CPdfObject& action) const {
    CPdfObject value = action.Resolve(xref);
    CPdfObject dest = value;
    if (value.kind == kindDictionary) {
        if (!value.dictValue->Get("S").IsName("GoTo")) return false;
        dest = value.dictValue->Get("D");
    }
    int32_t page = destinations.PageOf(dest);
    return page > 0 && OutputPageOf(page) == 0;
}

CPdfObject CPdfFileSplit::PrunedActions() const {
    CPdfObject actions = catalog.dictValue->GetResolved("AA");
    if (actions.kind != kindDictionary) return CPdfObject(kindNull);
    auto dict = std::make_shared<CPdfDictionary>(nullptr);
    for (const auto& entry : actions.dictValue->entries) {
        if (!LeadsToPageLeftOut(entry.second)) dict->Set(entry.first, entry.second);
    }
    return dict->entries.empty() ? CPdfObject(kindNull) : DictionaryValue(dict);
}

CPdfObject CPdfFileSplit::RebuiltPageLabels() const {
    if (!labels.IsPresent()) return CPdfObject(kindNull);
    std::vector<uint32_t> pages;
    for (const SelectedPage& s : selection) pages.push_back(s.pageNumber - 1);
    auto dict = std::make_shared<CPdfDictionary>(nullptr);
    dict->Set("Nums", labels.Rebuild(pages));
    return DictionaryValue(dict);
}

void CPdfFileSplit::WriteCatalog() {
    auto dict = std::make_shared<CPdfDictionary>(*catalog.dictValue);
    auto replace = [&](const char* key, const CPdfObject& value) {
        dict->entries.erase(key);
        if (value.kind != kindNull) dict->Set(key, value);
    };
    replace("Pages",
            CPdfObjectWriter::OutputReference(pagesOut, copies->GenerationOf(pagesNumber)));
    replace("Outlines", outlineOut > 0 ? CPdfObjectWriter::OutputReference(
                                             outlineOut, copies->GenerationOf(outline.rootNumber))
                                       : CPdfObject(kindNull));
    // A viewer told to open the outline pane would open an empty one.
    if (outlineOut <= 0 && dict->Get("PageMode").Resolve(xref).IsName("UseOutlines")) {
        dict->entries.erase("PageMode");
    }
    if (!keepNumbers) {
        // Rebuilt parts hold values of other objects: an output that keeps the source's
        // numbers (and its encryption) keeps them as they are.
        replace("Names", PrunedNames());
        replace("Dests", PrunedDests());
        replace("PageLabels", RebuiltPageLabels());
        replace("AA", PrunedActions());
        replace("AcroForm", PrunedForm());
        replace("StructTreeRoot",
                structureOut > 0 ? CPdfObjectWriter::OutputReference(
                                       structureOut, copies->GenerationOf(structure.rootNumber))
                                 : CPdfObject(kindNull));
        if (LeadsToPageLeftOut(catalog.dictValue->Get("OpenAction"))) {
            dict->entries.erase("OpenAction");
        }
    }
    WriteValueObject(catalogOut, copies->GenerationOf(rootNumber), DictionaryValue(dict));
}
