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
    // A page list or groups of pages need only the pages up to the highest they name.
    if (mode == modePageList || mode == modeGroups) {
        document.pagesNeeded = CPdfPageList::HighestPage(modeText);
    }
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
                               [](const XRefEntry& e) { return e.Type() == 2; });
    }
}
