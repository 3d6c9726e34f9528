#include "app/output/CPdfFormPart.h"

#include "app/output/CPdfOutputObjects.h"
#include "app/output/CPdfPagesPart.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "file/CPdfCopySet.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"

CPdfFormPart::CPdfFormPart(CPdfOutputObjects& outputObjects, const CPdfPagesPart& pagesPart)
    : objects(outputObjects), pages(pagesPart) {
    if (objects.KeepsNumbers()) return;
    // Fields that hold others are written with those an output keeps.
    form.Load(objects.Xref(), objects.Catalog());
    for (const CPdfFormNode& node : form.nodes) {
        if (!node.kids.empty()) objects.Copies().Skip(node.number);
    }
}

void CPdfFormPart::FillCatalog(CPdfDictionary& catalog) {
    // An output that keeps the source's numbers keeps the form as it is.
    if (objects.KeepsNumbers()) return;
    Replace(catalog, "AcroForm", PrunedForm());
}

std::vector<int32_t> CPdfFormPart::ChosenAnnotations() const {
    std::vector<int32_t> numbers;
    objects.ForEachChosenPage([&](int32_t page) {
        CPdfObject dict = objects.FetchObject(page);
        CPdfObject annots =
            dict.kind == kindDictionary ? dict.dictValue->GetResolved("Annots") : CPdfObject();
        if (annots.kind != kindArray) return;
        for (const CPdfObject& item : annots.arrayValue->items) {
            if (item.kind == kindReference) numbers.push_back(item.refNumber);
        }
    });
    return numbers;
}

void CPdfFormPart::PlanOutput() {
    for (int32_t i : formTouched) formKept[static_cast<size_t>(i)] = 0;
    formTouched.clear();
    if (!form.IsPresent() || objects.KeepsNumbers()) return;
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
            if (!node.kids.empty()) objects.Copies().Claim(node.number);
        }
    }
}

CPdfObject CPdfFormPart::KeptFormNodes(const std::vector<int32_t>& list) const {
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

CPdfObject CPdfFormPart::PrunedForm() const {
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

void CPdfFormPart::Write() {
    const CPdfCopySet& copies = objects.Copies();
    for (int32_t i : formTouched) {
        const CPdfFormNode& node = form.nodes[static_cast<size_t>(i)];
        if (node.kids.empty()) continue;
        CPdfObject original = objects.Xref()->Fetch(node.number, node.generation);
        if (original.kind != kindDictionary) continue;
        auto dict = std::make_shared<CPdfDictionary>(*original.dictValue);
        CPdfObject kids = KeptFormNodes(node.kids);
        // A widget copied for a page chosen again is one more widget of the same field.
        for (const auto& [annotation, copy] : pages.AnnotationCopies()) {
            int32_t kid = form.NodeOf(annotation);
            if (kid >= 0 && form.nodes[static_cast<size_t>(kid)].parent == i) {
                kids.arrayValue->Append(CPdfObjectWriter::OutputReference(copy));
            }
        }
        dict->entries["Kids"] = kids;
        CPdfObject value;
        value.SetDictionary(dict);
        objects.WriteValueObject(copies.NumberOf(node.number), copies.GenerationOf(node.number),
                                 value);
    }
}
