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
#include "document/CPdfDocument.h"
#include "file/CPdfFile.h"
#include "file/CPdfInputFile.h"
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
    // The same from a command line already read.
    bool ParseArguments(const CPdfCommandLine& line);
    // Writes every output document (with --dry-run: prints what would be written). Throws
    // CPdfException on the first failure, its detail naming the file it concerns (the source,
    // unless the thrower named another); files completed before it stay.
    bool Run() override;

    // The number in decimal, zero-padded to six digits; longer numbers keep all their digits.
    static std::string FormatSixDigits(uint64_t number);
    // The name of the chunk file that starts at page first when a document of pageCount
    // pages is cut into files of size pages: the prefix, the first page number and, unless
    // size is 1, "-" and the last page number, each as FormatSixDigits writes it, and ".pdf".
    static std::string ChunkFileName(const std::string& prefix, uint64_t first, uint64_t size,
                                     uint64_t pageCount);
    // The name of a file of pages first to last (either may be the larger): the prefix, the
    // first page number and, unless it is the only page, "-" and the last, each as
    // FormatSixDigits writes it, and ".pdf".
    static std::string RangeFileName(const std::string& prefix, uint64_t first, uint64_t last);
    // The name of the bookmarks output of outline item number item (1-based): the prefix,
    // the number as FormatSixDigits writes it, "-" and the UTF-8 title reduced as
    // FileNameTitle does, and ".pdf"; without the "-" when nothing of the title is left.
    static std::string BookmarkFileName(const std::string& prefix, uint64_t item,
                                        const std::string& title);
    // A UTF-8 title reduced to letters and digits of any script, '_' and single '-' between
    // them, at most 60 bytes of whole characters.
    static std::string FileNameTitle(const std::string& title);

protected:
    // CPdfFile: a number from the copy set.
    int32_t ReserveNumber() override;

private:
    // Whether this run's outputs pack objects into object streams (--object-streams).
    bool PacksObjects() const;
    // Writes one output document of the pages given to fileName; with measureOnly nothing
    // is written, and the bytes it would take are counted. Returns its size in bytes.
    int64_t WriteOutputFile(const std::string& fileName, CPdfSelection pages,
                            bool measureOnly = false);

    // The mode loop (CPdfFileSplitModes.cpp): each mode turns into page selections, each
    // handed to Deliver with its usual name.
    void SplitByMode();
    void SplitEveryN(const std::string& prefix);
    void SplitOdd(const std::string& fileName);
    void SplitEven(const std::string& fileName);
    // One output per item of a "-g" list.
    void SplitGroups(const std::string& prefix);
    // Outputs of consecutive pages, each as large as fits in maxSize bytes.
    void SplitMaxSize(const std::string& prefix);
    // The number of pages from page first on that fit in maxSize bytes (at least 1); guess
    // is where the search starts. size is set to the size of that output.
    uint64_t PagesThatFit(uint64_t first, uint64_t guess, int64_t& size);
    // One output per outline item down to the depth asked for (CPdfFileSplitBookmarks.cpp).
    // Throws "No bookmarks in file" or "No bookmark opens a page" before writing anything.
    void SplitBookmarks(const std::string& prefix);
    // The title of outline item item in UTF-8; empty when it has none or cannot be read.
    std::string TitleOf(int32_t item) const;
    // The pages first to last (either may be the larger).
    static CPdfSelection PageRange(uint64_t first, uint64_t last);
    // The name of output number file (from 1) of pages: usual, or what the output name
    // template makes of it (title fills %t).
    std::string NameFor(const std::string& usual, const CPdfSelection& pages,
                        const std::string& title, uint64_t file) const;
    // Hands one output on: with --dry-run its name, a tab and its pages are printed;
    // otherwise it is written and reported. usual is the name the mode gives it; an output
    // name template (title filling %t) gives another.
    void Deliver(const std::string& usual, CPdfSelection pages,
                 const std::string& title = std::string());
    // The password of --password-file=: the first line of the file, without its line ending.
    // Throws "Password file read error".
    std::string ReadPasswordFile() const;

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
    CPdfMode mode = modeNone;
    std::string inputName, outputName, modeText;
    std::string password;         // --password=: the password of an encrypted source
    std::string passwordFile;     // --password-file=: where the password is ("-": standard input)
    bool decryptOutputs = false;  // --decrypt: outputs of an encrypted source are in clear
    bool dryRun = false;          // --dry-run
    uint32_t bookmarkLevel = 1;   // --level=
    uint64_t maxSize = 0;         // maxsize=
    uint64_t filesDelivered = 0;  // outputs handed on so far in this run
    CPdfCommandLine::ObjectStreams objectStreams = CPdfCommandLine::objectStreamsPreserve;
    bool packObjects = false;  // outputs have object streams
    CPdfProgress progress;
    bool prepared = false;

    // Assembles each output; made once a run, by PrepareRun.
    std::unique_ptr<CPdfOutputAssembler> assembler;
};
