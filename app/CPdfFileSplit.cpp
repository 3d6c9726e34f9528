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
    return ParseArguments(CPdfCommandLine::Parse(argc, argv));
}

bool CPdfFileSplit::ParseArguments(const CPdfCommandLine& line) {
    inputName = line.inputName;
    outputName = line.outputName;
    modeText = line.modeText;
    mode = line.mode;
    password = line.password;
    passwordFile = line.passwordFile;
    decryptOutputs = line.decrypt;
    dryRun = line.dryRun;
    bookmarkLevel = line.level;
    maxSize = line.maxSize;
    objectStreams = line.objectStreams;
    progress.SetVerbose(line.verbose);
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
    // Read before standard input may be taken as the source.
    if (!passwordFile.empty()) password = ReadPasswordFile();
    CPdfInputSpool spool;
    const std::string sourceName = spool.Open(inputName);
    source = CPdfInputFile::Open(sourceName);
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
    // Streams stored without a filter are compressed where the source is in clear.
    index->SetCompression(encrypt.kind == kindNull);
    packObjects = PacksObjects();

    SplitByMode();
    source.reset();
    document.Close();
    return true;
}

void CPdfFileSplit::PrepareEncryption(const CPdfObject& encrypt) {
    if (document.CanDecrypt() && decryptOutputs) {
        // Outputs in clear: every string and stream decrypted, no /Encrypt.
        index->SetReencryption(document.security.get(), false);
        encryptNumber = encrypt.kind == kindReference ? encrypt.refNumber : 0;
        return;
    }
    if (decryptOutputs) document.RequireKey();
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
    from.decrypt = decryptOutputs && encryptNumber > 0;
    // An output holds at most the source's objects, a copy of each page chosen again and
    // the objects it adds.
    ReserveObjects(xref->entries.size() + document.catalog->pages.size() + 1024);
    assembler = std::make_unique<CPdfOutputAssembler>(from, *this);
    prepared = true;
}

int64_t CPdfFileSplit::WriteOutputFile(const std::string& fileName, const CPdfSelection& pages,
                                       bool measureOnly) {
    if (!prepared) PrepareRun();
    pageCount = static_cast<uint32_t>(document.catalog->GetPageCount());
    selection = pages;
    ResetObjectTable(packObjects, reencrypt ? document.security.get() : nullptr);
    assembler->Plan(selection);
    if (measureOnly) {
        output.OpenMeasure();
    } else {
        output.Open(fileName);
    }
    WriteHeader(document.version);
    const CPdfTrailerEntries trailer = assembler->Write();
    WriteEnd(trailer);
    const int64_t size = output.Position();
    output.Commit();
    return size;
}

CPdfObject CPdfFileSplit::FetchObject(int32_t number) const {
    return assembler->FetchObject(number);
}
