#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/CPdfCommandLine.h"
#include "app/CPdfPageList.h"
#include "app/CPdfProgress.h"
#include "app/output/CPdfOutputAssembler.h"
#include "file/CPdfDocument.h"
#include "file/CPdfFile.h"
#include "file/CPdfFileCloser.h"
#include "file/CPdfObjectIndex.h"

class CPdfXRef;

// The split job: opens the source, turns the mode into output documents and writes each.
//
// An output holds the chosen pages under a new one-level page tree, what they reach (other
// pages excluded), and the document-level parts pruned to those pages; its objects are
// numbered 1, 2, 3, ... An encrypted source's outputs keep its encryption, re-encrypted under
// their own numbers; when its file key is unknown they keep the source's numbers and bytes
// instead, as far as that is exact.
class CPdfFileSplit : public CPdfFile {
public:
    CPdfFileSplit() = default;
    ~CPdfFileSplit() override;

    // Takes the source name, output name, mode and options from the command line (see
    // CPdfCommandLine). Returns false when the command line asks for no run. Throws nothing.
    bool ParseArguments(int argc, char** argv) override;
    // Writes every output document. Throws CPdfException on the first failure, its detail
    // naming the file it concerns (the source, unless the thrower named another); files
    // completed before it stay.
    bool Run() override;

    // The number in decimal, zero-padded to six digits; longer numbers keep all their digits.
    static std::string FormatSixDigits(uint64_t number);
    // The name of the chunk file that starts at page first when a document of pageCount
    // pages is cut into files of size pages: the prefix, the first page number and, unless
    // size is 1, "-" and the last page number, each as FormatSixDigits writes it, and ".pdf".
    static std::string ChunkFileName(const std::string& prefix, uint64_t first, uint64_t size,
                                     uint64_t pageCount);
    // The name of the bookmarks output of first-level item number item (1-based): the prefix,
    // the number as FormatSixDigits writes it, "-" and the UTF-8 title reduced to letters and
    // digits of any script, '_' and single '-' between them (at most 60 bytes of whole
    // characters), and ".pdf"; without the "-" when nothing of the title is left.
    static std::string BookmarkFileName(const std::string& prefix, uint64_t item,
                                        const std::string& title);

protected:
    // CPdfFile: a number from the copy set.
    int32_t ReserveNumber() override;

private:
    // Whether this run's outputs pack objects into object streams (--object-streams).
    bool PacksObjects() const;
    void WriteOutputFile(const std::string& fileName, const std::string& listText);
    void SplitEveryN(const std::string& prefix, const std::string& text);
    void SplitOdd(const std::string& fileName);
    void SplitEven(const std::string& fileName);
    // One output per first-level outline item (CPdfFileSplitBookmarks.cpp). Throws "No
    // bookmarks in file" or "No bookmark opens a page" before writing anything.
    void SplitBookmarks(const std::string& prefix);
    // The title of outline item item in UTF-8; empty when it has none or cannot be read.
    std::string TitleOf(int32_t item) const;
    // WriteOutputFile, then the file is reported as written.
    void WriteReported(const std::string& fileName, const std::string& listText, uint64_t pages);

    // Run, before the detail of a failure names its file.
    bool Split();
    // Work done once per run: what never changes between outputs.
    void PrepareRun();
    // Sets up what outputs of an encrypted source (trailer value encrypt) keep of it.
    void PrepareEncryption(const CPdfObject& encrypt);
    // The object at source number, with the generation its entry gives (after PrepareRun).
    CPdfObject FetchObject(int32_t number) const;

    CPdfFilePtr source;
    CPdfDocument document;
    CPdfXRef* xref = nullptr;
    std::unique_ptr<CPdfObjectIndex> index;
    int32_t infoNumber = 0, infoGeneration = 0;
    int32_t rootNumber = 0, rootGeneration = 0;
    int32_t encryptNumber = 0;
    bool keepNumbers = false;
    bool reencrypt = false;  // outputs decrypt every string and stream and encrypt it anew
    uint32_t pageCount = 0;
    std::vector<SelectedPage> selection;
    CPdfMode mode = modeNone;
    std::string inputName, outputName, modeText;
    std::string password;  // --password=: the password of an encrypted source
    CPdfCommandLine::ObjectStreams objectStreams = CPdfCommandLine::objectStreamsPreserve;
    bool packObjects = false;  // outputs have object streams
    CPdfProgress progress;
    bool prepared = false;

    // Assembles each output; made once a run, by PrepareRun.
    std::unique_ptr<CPdfOutputAssembler> assembler;
};
