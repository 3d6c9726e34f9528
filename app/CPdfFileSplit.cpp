#include "app/CPdfFileSplit.h"

#include <algorithm>

#include "CPdfException.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

CPdfFileSplit::~CPdfFileSplit() = default;

bool CPdfFileSplit::ParseArguments(int argc, char** argv) {
    if (argc > 1) inputName = argv[1];
    if (argc > 2) outputName = argv[2];
    if (argc > 3) modeText = argv[3];
    mode = CPdfPageList::ClassifyMode(modeText);
    return true;
}

bool CPdfFileSplit::Run() {
    source = CPdfFileCloser::OpenForReading(inputName);
    if (!source) throw CPdfException("File open error");
    document.Open(inputName);
    xref = document.xref.get();
    rootNumber = xref->rootNum;
    rootGeneration = xref->rootGen;
    infoNumber = xref->infoNum;
    infoGeneration = xref->infoGen;
    index = std::make_unique<CPdfObjectIndex>(*xref, source.get());

    // An encrypted source is copied with its encryption intact: every copied object keeps
    // its number and generation and the /ID is kept. That holds only for objects stored in
    // the file body, whose strings and streams were encrypted under their own numbers.
    CPdfObject encrypt = xref->trailer.dictValue->Get("Encrypt");
    if (encrypt.kind != kindNull) {
        if (encrypt.kind != kindReference) {
            throw CPdfException("Encrypted document with a direct /Encrypt cannot be split");
        }
        encryptNumber = encrypt.refNumber;
        keepNumbers = true;
    }

    switch (mode) {
        case modePageList:
            WriteOutputFile(outputName, modeText);
            break;
        case modeEveryN:
            SplitEveryN(outputName, modeText);
            break;
        case modeOdd:
            SplitOdd(outputName);
            break;
        case modeEven:
            SplitEven(outputName);
            break;
        default:
            throw CPdfException("Wrong program parameteres");
    }
    source.reset();
    document.Close();
    return true;
}

std::string CPdfFileSplit::FormatSixDigits(uint32_t number) {
    char text[8];
    std::snprintf(text, sizeof text, "0%05u", number % 100000);
    return text;
}

void CPdfFileSplit::SplitEveryN(const std::string& prefix, const std::string& text) {
    uint64_t count = document.catalog->GetPageCount();
    uint64_t n = CPdfPageList::ReadChunkSize(text);
    for (uint64_t first = 1; first <= count; first += n) {
        std::string list = "-s" + std::to_string(first);
        std::string name = prefix + FormatSixDigits(static_cast<uint32_t>(first));
        if (n == 1) {
            WriteOutputFile(name + ".pdf", list);
            continue;
        }
        uint64_t length = first + n > count ? count - first + 1 : n;
        uint64_t last = first + length - 1;
        list += "-" + std::to_string(last);
        name += "-" + FormatSixDigits(static_cast<uint32_t>(last)) + ".pdf";
        WriteOutputFile(name, list);
    }
}

void CPdfFileSplit::SplitOdd(const std::string& fileName) {
    uint64_t count = document.catalog->GetPageCount();
    std::string list = "-s1";
    for (uint64_t p = 3; p <= count; p += 2) list += "," + std::to_string(p);
    WriteOutputFile(fileName, list);
}

void CPdfFileSplit::SplitEven(const std::string& fileName) {
    uint64_t count = document.catalog->GetPageCount();
    if (count <= 1) throw CPdfException("No files output");
    std::string list = "-s2";
    for (uint64_t p = 4; p <= count; p += 2) list += "," + std::to_string(p);
    WriteOutputFile(fileName, list);
}

void CPdfFileSplit::PrepareRun() {
    const CPdfCatalog& cat = *document.catalog;
    pagesNumber = cat.pagesNumber;
    pagesGeneration = cat.pagesGeneration;
    catalog = xref->Fetch(rootNumber, rootGeneration);
    if (catalog.kind != kindDictionary) throw CPdfException("Catalog CPdfObject is wrong type");
    copies = std::make_unique<CPdfCopySet>(*index, xref->entries.size(), keepNumbers);
    writer = std::make_unique<CPdfObjectWriter>(*copies);
    // Pages, page tree nodes and the catalog are written anew for every output; so are the
    // outline's root and items.
    copies->Skip(rootNumber);
    for (int32_t n : cat.nodeNumbers) copies->Skip(n);
    for (const CPdfPage& page : cat.pages) copies->Skip(page.objectNumber);
    destinations.Load(xref, catalog);
    outline.Load(xref, catalog, destinations);
    labels.Load(xref, catalog);
    if (!keepNumbers) {
        // Fields that hold others are written with those an output keeps.
        form.Load(xref, catalog);
        for (const CPdfFormNode& node : form.nodes) {
            if (!node.kids.empty()) copies->Skip(node.number);
        }
    }
    copies->Skip(outline.rootNumber);
    for (const CPdfOutlineItem& item : outline.items) copies->Skip(item.number);
    prepared = true;
}

void CPdfFileSplit::WriteOutputFile(const std::string& fileName, const std::string& listText) {
    if (!prepared) PrepareRun();
    pageCount = static_cast<uint32_t>(document.catalog->GetPageCount());
    selection = CPdfPageList::ParsePageList(listText, pageCount);
    ResetObjectTable();
    copies->Begin();
    annotationCopies.clear();
    ClaimPages();
    PlanOutline();
    PlanForm();

    output.Open(fileName);
    WriteHeader(document.version);
    WritePages();
    WriteCopies();
    WriteOutline();
    WriteForm();
    WriteCopies();
    WriteCatalog();
    CPdfTrailerEntries trailer;
    trailer.rootNumber = catalogOut;
    trailer.rootGeneration = copies->GenerationOf(rootNumber);
    int32_t number = infoNumber, generation = infoGeneration;
    if (number > 0 && copies->Map(number, generation)) {
        trailer.infoNumber = number;
        trailer.infoGeneration = generation;
    }
    number = encryptNumber;
    if (number > 0 && copies->Map(number, generation)) {
        trailer.encryptNumber = number;
        trailer.encryptGeneration = generation;
    }
    trailer.id = IdText();
    WriteCopies();
    WritePageTree();
    int64_t startXRef = output.Position();
    WriteXRefTable();
    WriteTrailer(startXRef, trailer);
    output.Commit();
}

void CPdfFileSplit::WriteCopies() {
    int32_t from = 0, to = 0;
    while (copies->Next(from, to)) {
        int32_t generation = copies->GenerationOf(from);
        MarkWritten(to, generation);
        index->WriteObject(from, to, generation, *copies, output);
    }
}

void CPdfFileSplit::WriteValueObject(int32_t number, int32_t generation, const CPdfObject& value) {
    MarkWritten(number, generation);
    std::string text = CPdfObjectWriter::ObjectHeader(number, generation);
    writer->Write(value, text);
    text += "\nendobj\n";
    output.Write(text);
}

CPdfObject CPdfFileSplit::FetchObject(int32_t number) const {
    if (number <= 0 || static_cast<size_t>(number) >= xref->entries.size()) {
        return CPdfObject(kindNull);
    }
    const XRefEntry& e = xref->entries[static_cast<size_t>(number)];
    return xref->Fetch(number, e.type == 1 ? e.generation : 0);
}

int32_t CPdfFileSplit::OutputPageOf(int32_t page) const {
    int32_t number = copies->NumberOf(page);
    return number > 0 ? number : 0;
}

std::string CPdfFileSplit::IdText() const {
    CPdfObject id = xref->trailer.dictValue->GetResolved("ID");
    if (id.kind != kindArray || id.arrayValue->GetCount() != 2) return std::string();
    std::string text = "[";
    for (size_t i = 0; i < 2; ++i) {
        CPdfObject part = id.arrayValue->GetResolvedAt(i);
        if (part.kind != kindString) return std::string();
        text += part.stringValue.Serialize();
    }
    return text + "]";
}
