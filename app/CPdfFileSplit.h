#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/CPdfCommandLine.h"
#include "app/CPdfCopySet.h"
#include "app/CPdfPageList.h"
#include "app/CPdfProgress.h"
#include "document/CPdfAcroForm.h"
#include "document/CPdfDestinations.h"
#include "document/CPdfOutline.h"
#include "document/CPdfPageLabels.h"
#include "document/CPdfResourceUse.h"
#include "document/CPdfStructTree.h"
#include "file/CPdfDocument.h"
#include "file/CPdfFile.h"
#include "file/CPdfFileCloser.h"
#include "file/CPdfObjectIndex.h"
#include "object/CPdfObjectWriter.h"

class CPdfDictionary;
class CPdfPage;
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
    // Numbers for the catalog, the page tree root and every chosen page.
    void ClaimPages();
    // Numbers what the first page's own resources name ahead of the pages (see the .cpp).
    void NumberFirstResources(const SelectedPage& first);
    void WritePages();
    void WritePage(const SelectedPage& selected, bool repeated);
    // The page dictionary of the page at index (from 0): its object, or the dictionary written
    // into its parent's /Kids. Throws "Corrupted PDF file" when that is not a dictionary.
    CPdfObject PageDictionary(size_t pageIndex) const;
    // Gives a page chosen again copies of its annotations, each naming that page; returns the
    // copies to write, with their numbers.
    std::vector<std::pair<int32_t, CPdfObject>> CopyAnnotations(CPdfDictionary& page,
                                                                int32_t pageOut);
    // Sets key in page to what the page inherits from node, unless the page has key. True when
    // the value set holds a string.
    bool Inherit(CPdfDictionary& page, const char* key, int32_t node) const;
    // Cuts the images, forms and fonts a page inherits down to those its drawing can look up
    // (see CPdfResourceUse); all stay when that drawing cannot be read whole.
    void KeepUsedResources(CPdfDictionary& page) const;
    void WritePageTree();
    void WriteCatalog();
    // The catalog's parts rebuilt for the output (CPdfFileSplitCatalog.cpp); null for a part
    // the output does not need.
    // The named destinations are written as they are kept: in the catalog when they are few,
    // else as objects of their own (the tree's leaves, or the /Dests dictionary).
    CPdfObject PrunedNames();
    CPdfObject PrunedDests();
    // The name and destination pairs of kept[from] .. kept[to - 1] of the tree.
    CPdfObject DestinationPairs(const std::vector<uint32_t>& kept, size_t from, size_t to) const;
    // Names in one leaf of an output's destination tree.
    static constexpr size_t kNamesPerLeaf = 128;
    CPdfObject PrunedActions() const;
    CPdfObject RebuiltPageLabels() const;
    // Positions of the named destinations (of the tree, or of the /Dests dictionary) that open
    // one of the output's pages, in name order.
    std::vector<uint32_t> KeptDestinations(bool inTree) const;
    // A named destination's value, written as the destination array where it is one.
    CPdfObject DirectDestination(const CPdfObject& value) const;
    // The interactive form (CPdfFileSplitForm.cpp): the fields kept, their numbers.
    void PlanForm();
    void WriteForm();
    CPdfObject PrunedForm() const;
    // References to the nodes of list that the output keeps.
    CPdfObject KeptFormNodes(const std::vector<int32_t>& list) const;
    // The structure tree (CPdfFileSplitStructure.cpp): the elements kept, their numbers.
    void PlanStructure();
    void WriteStructure();
    CPdfObject PrunedStructureRoot() const;
    // The items of a /K value (an element's, page is its page; the root's, page 0) that the
    // output keeps, as an array.
    CPdfObject KeptStructureContent(const CPdfObject& k, int32_t page) const;
    // The page objects of the output's pages, a page chosen again once.
    std::vector<int32_t> ChosenPageObjects() const;
    // The annotations of the output's pages (those of a page chosen again once).
    std::vector<int32_t> ChosenAnnotations() const;
    // Whether an action or destination opens a page that the output does not hold.
    bool LeadsToPageLeftOut(const CPdfObject& action) const;
    // Copies every object that the objects written so far refer to.
    void WriteCopies();
    // Writes value as output object number, generation generation, its strings encrypted for
    // it when outputs are re-encrypted. Without the file key its strings are written as
    // stored, which needs ownStrings: they all come from the source object of that number
    // (else "Password required", or why the key is unknown, is thrown).
    void WriteValueObject(int32_t number, int32_t generation, const CPdfObject& value,
                          bool ownStrings = true);
    // Sets up what outputs of an encrypted source (trailer value encrypt) keep of it.
    void PrepareEncryption(const CPdfObject& encrypt);
    // Writes the source's /Encrypt dictionary as a new object; returns its number.
    int32_t WriteEncryptDictionary();
    // value with every reference in it resolved (streams, and nesting past a limit, null).
    CPdfObject Direct(const CPdfObject& value, int depth) const;
    std::string IdText() const;

    // The outline of the output (CPdfFileSplitOutline.cpp): items kept, their numbers.
    void PlanOutline();
    // keptItems: the kept first-level items in output order; position gives each page
    // object's first place in the selection.
    void OrderFirstLevel(const std::unordered_map<int32_t, size_t>& position);
    void WriteOutline();
    int32_t OpeningPageOf(int32_t item);
    // A destination that opens source page object page, which the output holds, at its top.
    CPdfObject FirstPageDestination(int32_t page) const;
    // Whether the output keeps the structure element that is source object number (an
    // outline item's /SE); false for 0.
    bool ElementKept(int32_t number) const;
    // Writes an item's indirect /Title and /A into it, the title in as few bytes as it takes.
    void InlineItemValues(CPdfDictionary& item) const;

    // The object at source number, with the generation its entry gives.
    CPdfObject FetchObject(int32_t number) const;
    // The output number of the page object that source page object page stands for in this
    // output; 0 when the output does not hold it.
    int32_t OutputPageOf(int32_t page) const;

    CPdfFilePtr source;
    CPdfDocument document;
    CPdfXRef* xref = nullptr;
    std::unique_ptr<CPdfObjectIndex> index;
    std::unique_ptr<CPdfCopySet> copies;
    std::unique_ptr<CPdfObjectWriter> writer;
    int32_t infoNumber = 0, infoGeneration = 0;
    int32_t rootNumber = 0, rootGeneration = 0;
    int32_t pagesNumber = 0, pagesGeneration = 0;
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

    CPdfObject catalog;  // the source catalog's dictionary
    CPdfDestinations destinations;
    CPdfOutline outline;
    CPdfPageLabels labels;
    CPdfAcroForm form;
    CPdfStructTree structure;
    // What pages and the objects they share draw with, worked out once a run.
    std::unique_ptr<CPdfResourceUse> resourceUse;

    // The current output.
    int32_t catalogOut = 0;
    int32_t pagesOut = 0;
    int32_t outlineOut = 0;                // 0 when the output has no outline
    std::vector<int32_t> keptItems;        // the outline's kept items, first level in order
    std::vector<int32_t> itemOut;          // by item: its output number, 0 when not kept
    std::vector<int32_t> itemsTouched;     // items given a number in this output
    std::vector<uint8_t> formKept;         // by form node: kept in this output
    std::vector<int32_t> formTouched;      // form nodes kept in this output
    int32_t structureOut = 0;              // 0 when the output has no structure tree
    std::vector<uint8_t> elementKept;      // by structure element: kept in this output
    std::vector<int32_t> elementsTouched;  // structure elements kept in this output
    // Annotations copied for pages chosen again: source number, number of the copy.
    std::vector<std::pair<int32_t, int32_t>> annotationCopies;
};
