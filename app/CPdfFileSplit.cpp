#include "app/CPdfFileSplit.h"

#include <algorithm>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "app/CPdfCommandLine.h"
#include "app/CPdfInputSpool.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"

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
    return assembler->ReserveNumber();
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
    CPdfOutputSource from;
    from.document = &document;
    from.xref = xref;
    from.index = index.get();
    from.rootNumber = rootNumber;
    from.rootGeneration = rootGeneration;
    from.infoNumber = infoNumber;
    from.infoGeneration = infoGeneration;
    from.encryptNumber = encryptNumber;
    from.keepNumbers = keepNumbers;
    from.reencrypt = reencrypt;
    // An output holds at most the source's objects, a copy of each page chosen again and
    // the objects it adds.
    ReserveObjects(xref->entries.size() + document.catalog->pages.size() + 1024);
    assembler = std::make_unique<CPdfOutputAssembler>(from, *this);
    prepared = true;
}

void CPdfFileSplit::WriteOutputFile(const std::string& fileName, const std::string& listText) {
    if (!prepared) PrepareRun();
    pageCount = static_cast<uint32_t>(document.catalog->GetPageCount());
    selection = CPdfPageList::ParsePageList(listText, pageCount);
    ResetObjectTable(packObjects, reencrypt ? document.security.get() : nullptr);
    assembler->Plan(selection);
    output.Open(fileName);
    WriteHeader(document.version);
    const CPdfTrailerEntries trailer = assembler->Write();
    WriteEnd(trailer);
    output.Commit();
}

CPdfObject CPdfFileSplit::FetchObject(int32_t number) const {
    return assembler->FetchObject(number);
}
