// The interactive form of an output: the fields that have a widget on one of its pages, with
// the fields that hold them; every other field, with its value, stays out.
#include "app/CPdfFileSplit.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

std::vector<int32_t> CPdfFileSplit::ChosenAnnotations() const {
    std::vector<int32_t> numbers;
    for (int32_t page : ChosenPageObjects()) {
        CPdfObject dict = FetchObject(page);
        CPdfObject annots =
            dict.kind == kindDictionary ? dict.dictValue->GetResolved("Annots") : CPdfObject();
        if (annots.kind != kindArray) continue;
        for (const CPdfObject& item : annots.arrayValue->items) {
            if (item.kind == kindReference) numbers.push_back(item.refNumber);
        }
    }
    return numbers;
}

void CPdfFileSplit::PlanForm() {
    for (int32_t i : formTouched) formKept[static_cast<size_t>(i)] = 0;
    formTouched.clear();
    if (!form.IsPresent() || keepNumbers) return;
    formKept.resize(form.nodes.size(), 0);
    for (int32_t annotation : ChosenAnnotations()) {
        int32_t i = form.NodeOf(annotation);
        if (i < 0 || !form.nodes[static_cast<size_t>(i)].widget) continue;
        for (; i >= 0 && !formKept[static_cast<size_t>(i)];
             i = form.nodes[static_cast<size_t>(i)].parent) {
            formKept[static_cast<size_t>(i)] = 1;
            formTouched.push_back(i);
            // A field that holds others is written with those kept; the others are copied.
            const CPdfFormNode& node = form.nodes[static_cast<size_t>(i)];
            if (!node.kids.empty()) copies->Claim(node.number);
        }
    }
}

CPdfObject CPdfFileSplit::KeptFormNodes(const std::vector<int32_t>& list) const {
    CPdfObject refs;
    refs.NewArray(nullptr);
    for (int32_t i : list) {
        const CPdfFormNode& node = form.nodes[static_cast<size_t>(i)];
        if (formKept[static_cast<size_t>(i)]) {
            refs.arrayValue->Append(CPdfObject::Reference(node.number, node.generation));
        }
    }
    return refs;
}

CPdfObject CPdfFileSplit::PrunedForm() const {
    if (!form.IsPresent() || formTouched.empty()) return CPdfObject(kindNull);
    CPdfObject fields = KeptFormNodes(form.fields);
    if (fields.arrayValue->GetCount() == 0) return CPdfObject(kindNull);
    auto dict = std::make_shared<CPdfDictionary>(*form.form.dictValue);
    dict->entries["Fields"] = fields;
    // The XML form data holds every field's value, of the pages left out too.
    dict->entries.erase("XFA");
    CPdfObject order = form.form.dictValue->GetResolved("CO");
    if (order.kind == kindArray) {
        std::vector<int32_t> kept;
        for (const CPdfObject& item : order.arrayValue->items) {
            int32_t i = item.kind == kindReference ? form.NodeOf(item.refNumber) : -1;
            if (i >= 0) kept.push_back(i);
        }
        dict->entries["CO"] = KeptFormNodes(kept);
    }
    CPdfObject value;
    value.SetDictionary(dict);
    return value;
}

void CPdfFileSplit::WriteForm() {
    for (int32_t i : formTouched) {
        const CPdfFormNode& node = form.nodes[static_cast<size_t>(i)];
        if (node.kids.empty()) continue;
        CPdfObject original = xref->Fetch(node.number, node.generation);
        if (original.kind != kindDictionary) continue;
        auto dict = std::make_shared<CPdfDictionary>(*original.dictValue);
        CPdfObject kids = KeptFormNodes(node.kids);
        // A widget copied for a page chosen again is one more widget of the same field.
        for (const auto& [annotation, copy] : annotationCopies) {
            int32_t kid = form.NodeOf(annotation);
            if (kid >= 0 && form.nodes[static_cast<size_t>(kid)].parent == i) {
                kids.arrayValue->Append(CPdfObjectWriter::OutputReference(copy));
            }
        }
        dict->entries["Kids"] = kids;
        CPdfObject value;
        value.SetDictionary(dict);
        WriteValueObject(copies->NumberOf(node.number), copies->GenerationOf(node.number), value);
    }
}
