#include "app/CPdfFileSplit.h"

#include <algorithm>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "app/CPdfCommandLine.h"
#include "app/CPdfInputSpool.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfSecurity.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfCipher.h"

CPdfFileSplit::~CPdfFileSplit() = default;

bool CPdfFileSplit::ParseArguments(int argc, char** argv) {
    const CPdfCommandLine line = CPdfCommandLine::Parse(argc, argv);
    inputName = line.inputName;
    outputName = line.outputName;
    modeText = line.modeText;
    password = line.password;
    objectStreams = line.objectStreams;
    progress.SetVerbose(line.verbose);
    mode = CPdfPageList::ClassifyMode(modeText);
    return line.action == CPdfCommandLine::actionRun;
}

bool CPdfFileSplit::Run() {
    try {
        return Split();
    } catch (CPdfException& failure) {
        // What the readers and the page list find is about the source.
        failure.ConcernsFile(CPdfCommandLine::IsStandardStream(inputName) ? "standard input"
                                                                          : inputName);
        throw;
    }
}

bool CPdfFileSplit::Split() {
    CPdfInputSpool spool;
    const std::string sourceName = spool.Open(inputName);
    source = CPdfFileCloser::OpenForReading(sourceName);
    if (!source) throw CPdfException(CPdfMessages::kFileOpenError);
    document.Open(sourceName, password);
    xref = document.xref.get();
    rootNumber = xref->rootNum;
    rootGeneration = xref->rootGen;
    infoNumber = xref->infoNum;
    infoGeneration = xref->infoGen;
    index = std::make_unique<CPdfObjectIndex>(*xref, source.get());

    CPdfObject encrypt = xref->trailer.dictValue->Get("Encrypt");
    if (encrypt.kind != kindNull) PrepareEncryption(encrypt);
    packObjects = PacksObjects();

    switch (mode) {
        case modePageList:
            WriteOutputFile(outputName, modeText);
            progress.FileWritten(outputName, selection.size());
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
        case modeBookmarks:
            SplitBookmarks(outputName);
            break;
        default:
            throw CPdfException(CPdfMessages::kWrongParameters)
                .Detail("unknown MODE \"" + modeText + "\"");
    }
    source.reset();
    document.Close();
    return true;
}

void CPdfFileSplit::PrepareEncryption(const CPdfObject& encrypt) {
    if (document.CanDecrypt()) {
        // Outputs keep the source's encryption (dictionary, key, passwords, permissions, the
        // first /ID element), every string and stream encrypted anew for its output number.
        reencrypt = true;
        index->SetReencryption(document.security.get());
        encryptNumber = encrypt.kind == kindReference ? encrypt.refNumber : 0;
        return;
    }
    // Without the key, objects can only be copied as stored: under their own numbers, each
    // string and stream still encrypted for the object that holds it.
    if (encrypt.kind != kindReference) document.RequireKey();
    encryptNumber = encrypt.refNumber;
    keepNumbers = true;
}

bool CPdfFileSplit::PacksObjects() const {
    // Without the key objects are copied as stored, each under its own number.
    if (keepNumbers) return false;
    switch (objectStreams) {
        case CPdfCommandLine::objectStreamsGenerate:
            return true;
        case CPdfCommandLine::objectStreamsDisable:
            return false;
        default:
            // As the source is: old readers still open the outputs of old files.
            return std::any_of(xref->entries.begin(), xref->entries.end(),
                               [](const XRefEntry& e) { return e.type == 2; });
    }
}

int32_t CPdfFileSplit::ReserveNumber() {
    return copies->Reserve();
}

std::string CPdfFileSplit::FormatSixDigits(uint64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%06llu", static_cast<unsigned long long>(number));
    return text;
}

std::string CPdfFileSplit::ChunkFileName(const std::string& prefix, uint64_t first, uint64_t size,
                                         uint64_t pageCount) {
    if (size == 1) return prefix + FormatSixDigits(first) + ".pdf";
    uint64_t last = pageCount - first < size ? pageCount : first + size - 1;
    return prefix + FormatSixDigits(first) + "-" + FormatSixDigits(last) + ".pdf";
}

void CPdfFileSplit::SplitEveryN(const std::string& prefix, const std::string& text) {
    uint64_t n = CPdfPageList::ReadChunkSize(text);
    uint64_t count = document.catalog->GetPageCount();
    if (count == 0) throw CPdfException(CPdfMessages::kNoFilesOutput);
    progress.Plan(count, (count - 1) / n + 1);
    for (uint64_t first = 1; first <= count; first += n) {
        uint64_t last = count - first < n ? count : first + n - 1;
        std::string list = "-s" + std::to_string(first) + "-" + std::to_string(last);
        WriteReported(ChunkFileName(prefix, first, n, count), list, last - first + 1);
    }
}

void CPdfFileSplit::SplitOdd(const std::string& fileName) {
    uint64_t count = document.catalog->GetPageCount();
    std::string list = "-s1";
    for (uint64_t p = 3; p <= count; p += 2) list += "," + std::to_string(p);
    WriteReported(fileName, list, (count + 1) / 2);
}

void CPdfFileSplit::SplitEven(const std::string& fileName) {
    uint64_t count = document.catalog->GetPageCount();
    if (count <= 1) throw CPdfException(CPdfMessages::kNoFilesOutput);
    std::string list = "-s2";
    for (uint64_t p = 4; p <= count; p += 2) list += "," + std::to_string(p);
    WriteReported(fileName, list, count / 2);
}

void CPdfFileSplit::WriteReported(const std::string& fileName, const std::string& listText,
                                  uint64_t pages) {
    WriteOutputFile(fileName, listText);
    progress.FileWritten(fileName, pages);
}

void CPdfFileSplit::PrepareRun() {
    const CPdfCatalog& cat = *document.catalog;
    pagesNumber = cat.pagesNumber;
    pagesGeneration = cat.pagesGeneration;
    catalog = xref->Fetch(rootNumber, rootGeneration);
    if (catalog.kind != kindDictionary) throw CPdfException(CPdfMessages::kCatalogType);
    copies = std::make_unique<CPdfCopySet>(*index, xref->entries.size(), keepNumbers);
    // An output holds at most the source's objects, a copy of each page chosen again and
    // the objects it adds.
    ReserveObjects(xref->entries.size() + cat.pages.size() + 1024);
    writer = std::make_unique<CPdfObjectWriter>(*copies);
    resourceUse = std::make_unique<CPdfResourceUse>(*xref);
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
        // Structure elements are written only where an output keeps them.
        structure.Load(xref, catalog);
        copies->Skip(structure.rootNumber);
        for (const CPdfStructElement& element : structure.elements) copies->Skip(element.number);
    }
    copies->Skip(outline.rootNumber);
    for (const CPdfOutlineItem& item : outline.items) copies->Skip(item.number);
    // A re-encrypting output writes the /Encrypt dictionary itself, once.
    if (reencrypt) copies->Skip(encryptNumber);
    prepared = true;
}

void CPdfFileSplit::WriteOutputFile(const std::string& fileName, const std::string& listText) {
    if (!prepared) PrepareRun();
    pageCount = static_cast<uint32_t>(document.catalog->GetPageCount());
    selection = CPdfPageList::ParsePageList(listText, pageCount);
    ResetObjectTable(packObjects, reencrypt ? document.security.get() : nullptr);
    copies->Begin();
    annotationCopies.clear();
    ClaimPages();
    PlanStructure();
    PlanOutline();
    PlanForm();

    output.Open(fileName);
    WriteHeader(document.version);
    WritePages();
    WriteCopies();
    WriteOutline();
    WriteForm();
    WriteStructure();
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
    if (reencrypt) {
        trailer.encryptNumber = WriteEncryptDictionary();
    } else if (number > 0 && copies->Map(number, generation)) {
        trailer.encryptNumber = number;
        trailer.encryptGeneration = generation;
    }
    trailer.id = IdText();
    WriteCopies();
    WritePageTree();
    WriteEnd(trailer);
    output.Commit();
}

void CPdfFileSplit::WriteCopies() {
    int32_t from = 0, to = 0;
    while (copies->Next(from, to)) {
        const int32_t generation = copies->GenerationOf(from);
        const CPdfObjectInfo& info = index->Get(from);
        if (info.present && !info.isStream) {
            WriteValue(to, generation, index->ValueText(from, Packs(generation) ? 0 : to, *copies));
            continue;
        }
        MarkWritten(to, generation);
        index->WriteObject(from, to, generation, *copies, output);
    }
}

void CPdfFileSplit::WriteValueObject(int32_t number, int32_t generation, const CPdfObject& value,
                                     bool ownStrings) {
    // Strings in an object stream are stored in clear: the stream is encrypted whole.
    const bool packed = Packs(generation);
    writer->transformString = nullptr;
    if (!packed && reencrypt) {
        const CPdfSecurity& security = *document.security;
        writer->transformString = [&security, number](const std::string& bytes) {
            return security.EncryptString(bytes, number);
        };
    } else if (!packed && keepNumbers && !ownStrings) {
        // Strings of an encrypted source stay as stored; under another number than theirs
        // they would read as garbage.
        writer->transformString = [this](const std::string&) -> std::string {
            document.RequireKey();
            throw CPdfException(CPdfMessages::kPasswordRequired);
        };
    }
    WriteValue(number, generation, CPdfObjectWriter::Compact(writer->Text(value)));
}

int32_t CPdfFileSplit::WriteEncryptDictionary() {
    // Never encrypted itself; written with every reference resolved, as nothing else of the
    // output refers to what it holds.
    const int32_t number = copies->Reserve();
    writer->transformString = nullptr;
    MarkWritten(number, 0);
    std::string text = CPdfObjectWriter::ObjectHeader(number, 0);
    writer->Write(Direct(document.security->EncryptDictionary(), 0), text);
    text += "\nendobj\n";
    output.Write(text);
    return number;
}

CPdfObject CPdfFileSplit::Direct(const CPdfObject& value, int depth) const {
    if (depth > 16) return CPdfObject(kindNull);
    CPdfObject resolved = value.Resolve(xref);
    if (resolved.kind == kindArray) {
        CPdfObject out;
        out.NewArray(nullptr);
        for (const CPdfObject& item : resolved.arrayValue->items) {
            out.arrayValue->Append(Direct(item, depth + 1));
        }
        return out;
    }
    if (resolved.kind == kindDictionary) {
        auto dict = std::make_shared<CPdfDictionary>(nullptr);
        for (const auto& entry : resolved.dictValue->entries) {
            dict->Set(entry.first, Direct(entry.second, depth + 1));
        }
        CPdfObject out;
        out.SetDictionary(dict);
        return out;
    }
    return resolved.kind == kindStream ? CPdfObject(kindNull) : resolved;
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
    // The first element stays the source's; for an encrypted source it is the one its key was
    // made with, empty where readers took an empty one. The second is the output's own: a
    // digest of the source's /ID and the output's page list, so the same command always writes
    // the same bytes. A source without /ID gets a first element made the same way from what
    // its table and page tree hold, unless its key depends on it.
    std::string parts[2];
    CPdfObject id = xref->trailer.dictValue->GetResolved("ID");
    for (size_t i = 0; id.kind == kindArray && i < 2 && i < id.arrayValue->GetCount(); ++i) {
        CPdfObject part = id.arrayValue->GetResolvedAt(i);
        if (part.kind == kindString) parts[i] = part.stringValue.Bytes();
    }
    const bool keyed = document.security != nullptr;
    if (keyed) parts[0] = document.security->FirstId();
    std::string seed = std::to_string(parts[0].size()) + ":" + parts[0] + parts[1] + "\n";
    if (parts[0].empty()) {
        seed = "objects " + std::to_string(xref->entries.size()) + " pages " +
               std::to_string(pageCount) + "\n";
        if (!keyed) parts[0] = CPdfCipher::Hash(CPdfCipher::md5, seed);
    }
    seed.reserve(seed.size() + selection.size() * (std::to_string(pageCount).size() + 1));
    for (const SelectedPage& s : selection) seed += std::to_string(s.pageNumber) + " ";
    std::string second = CPdfCipher::Hash(CPdfCipher::md5, seed);
    return "[<" + CPdfString::HexEncode(parts[0]) + "><" + CPdfString::HexEncode(second) + ">]";
}
