#include "app/CPdfFileSplit.h"

#include <algorithm>

#include "CPdfException.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
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
    }
    ResetObjectTable(xref->entries.size());

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

void CPdfFileSplit::WriteOutputFile(const std::string& fileName, const std::string& listText) {
    ResetObjectTable(xref->entries.size());
    PrepareDocument();
    ParsePageList(listText);
    CollectPageObjects();
    if (hasOutlines) PrepareOutline();

    output.Open(fileName);
    WriteHeader(document.version);
    WriteMarkedObjects();
    WritePageTree();
    if (hasOutlines) WriteOutline();
    int64_t startXRef = output.Position();
    WriteXRefTable();
    WriteTrailer(startXRef, xref->trailer, encryptNumber != 0);
    output.Commit();
}

void CPdfFileSplit::ParsePageList(const std::string& listText) {
    pageCount = static_cast<uint32_t>(document.catalog->GetPageCount());
    selection = CPdfPageList::ParsePageList(listText, pageCount);
    for (const SelectedPage& s : selection) pageSlots[s.pageNumber - 1].selected = true;
}
