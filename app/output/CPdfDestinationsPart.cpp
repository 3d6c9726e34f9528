// The named destinations of an output keep the names that open one of its pages.
#include "app/output/CPdfDestinationsPart.h"

#include <algorithm>

#include "app/output/CPdfOutputObjects.h"
#include "file/CPdfCopySet.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"

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

CPdfDestinationsPart::CPdfDestinationsPart(CPdfOutputObjects& outputObjects)
    : objects(outputObjects) {
    destinations.Load(objects.Xref(), objects.Catalog());
}

void CPdfDestinationsPart::FillCatalog(CPdfDictionary& catalog) {
    // Rebuilt names hold values of other objects: an output that keeps the source's numbers
    // (and its encryption) keeps them as they are.
    if (objects.KeepsNumbers()) return;
    Replace(catalog, "Names", PrunedNames());
    Replace(catalog, "Dests", PrunedDests());
}

CPdfObject CPdfDestinationsPart::DirectDestination(const CPdfObject& value) const {
    // A named destination is the destination array, or a dictionary whose /D holds it: the
    // array itself is written, in the place of an object of its own.
    CPdfObject dest = value.Resolve(objects.Xref());
    if (dest.kind == kindDictionary && dest.dictValue->entries.size() == 1) {
        dest = dest.dictValue->GetResolved("D");
    }
    return dest.kind == kindArray ? dest : value;
}

std::vector<uint32_t> CPdfDestinationsPart::KeptDestinations(bool inTree) const {
    std::vector<uint32_t> kept;
    objects.ForEachChosenPage([&](int32_t page) {
        const auto on = destinations.OnPage(inTree, page);
        kept.insert(kept.end(), on.first, on.second);
    });
    std::sort(kept.begin(), kept.end());
    return kept;
}

CPdfObject CPdfDestinationsPart::PrunedNames() {
    CPdfObject names = objects.Catalog().dictValue->GetResolved("Names");
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
            const int32_t number = objects.Copies().Reserve();
            objects.WriteValueObject(number, 0, DictionaryValue(leaf), false);
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

CPdfObject CPdfDestinationsPart::DestinationPairs(const std::vector<uint32_t>& kept, size_t from,
                                                  size_t to) const {
    CPdfObject pairs;
    pairs.NewArray(nullptr);
    for (size_t i = from; i < to; ++i) {
        pairs.arrayValue->Append(StringValue(destinations.NameOf(true, kept[i])));
        pairs.arrayValue->Append(DirectDestination(destinations.ValueOf(true, kept[i])));
    }
    return pairs;
}

CPdfObject CPdfDestinationsPart::PrunedDests() {
    std::vector<uint32_t> kept = KeptDestinations(false);
    if (kept.empty()) return CPdfObject(kindNull);
    if (kept.size() > kNamesPerLeaf) {
        // Many names: the dictionary is an object of its own, its text made entry by entry.
        std::string text = "<<";
        for (uint32_t k : kept) {
            text += "/" + CPdfObjectWriter::NameText(destinations.NameOf(false, k)) + " ";
            objects.Writer().Write(DirectDestination(destinations.ValueOf(false, k)), text);
        }
        text += ">>";
        const int32_t number = objects.Copies().Reserve();
        objects.WriteValueObject(number, 0, CPdfObjectWriter::Verbatim(text), false);
        return CPdfObjectWriter::OutputReference(number);
    }
    auto dict = std::make_shared<CPdfDictionary>(nullptr);
    for (uint32_t k : kept) {
        dict->Set(destinations.NameOf(false, k), DirectDestination(destinations.ValueOf(false, k)));
    }
    return DictionaryValue(dict);
}
