#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/CPdfPageList.h"
#include "document/CPdfPage.h"
#include "file/CPdfDocument.h"
#include "file/CPdfFile.h"
#include "file/CPdfFileCloser.h"
#include "file/CPdfObjectIndex.h"

class CPdfXRef;

// One leaf of the source page tree, in document order: the catalog's record of it (where the
// page object is, its box, the nodes it inherits from), and whether the current output takes
// it.
struct PageSlot {
    const CPdfPage* page = nullptr;
    bool selected = false;

    int32_t ObjectNumber() const { return page->objectNumber; }
    int32_t Generation() const { return page->objectGeneration; }
    // The /Pages node whose /Resources (0), /CropBox (1) or /Rotate (2) the page inherits;
    // 0 for none.
    int32_t InheritFrom(int which) const {
        return which == 0 ? page->resourcesFrom : which == 1 ? page->cropBoxFrom : page->rotateFrom;
    }
};

// One first-level outline item of the source.
struct OutlineEntry {
    int32_t itemNumber = 0;
    int32_t itemGeneration = 0;
    int32_t parentNumber = 0;
    int32_t actionNumber = 0;  // the /A object, 0 when /A is direct or absent
    int32_t actionGeneration = 0;
    int32_t destPageNumber = 0;  // the page object that the item opens, 0 when unknown
    int32_t outputPageNumber = 0;
    int32_t nextNumber = 0;
    int32_t nextGeneration = 0;
    int32_t prevNumber = 0;
    int32_t prevGeneration = 0;
    std::string title;           // the bytes after "/Title" through the end of its value
    std::string targetText;      // a direct "/A <<...>>" or "/Dest ..." entry, written as it stood
    std::vector<int32_t> needs;  // objects the item's title and action refer to
};

// The split job: opens the source, turns the mode into output documents and writes each.
class CPdfFileSplit : public CPdfFile {
public:
    CPdfFileSplit() = default;
    ~CPdfFileSplit() override;

    // Takes the source name, output name and mode from the command line. Throws nothing.
    bool ParseArguments(int argc, char** argv) override;
    // Writes every output document. Throws CPdfException on the first failure; files
    // completed before it stay.
    bool Run() override;

    // "0" and the number modulo 100000 in five zero-padded digits.
    static std::string FormatSixDigits(uint32_t number);

private:
    void WriteOutputFile(const std::string& fileName, const std::string& listText);
    void SplitEveryN(const std::string& prefix, const std::string& text);
    void SplitOdd(const std::string& fileName);
    void SplitEven(const std::string& fileName);

    // Work done once per run: page slots, the catalog's objects, the outline items.
    void PrepareRun();
    void PrepareDocument();
    void ParsePageList(const std::string& listText);
    void CollectPageObjects();
    void WriteMarkedObjects();
    void WritePageTree();
    std::string RewritePage(const PageSlot& slot);
    void LoadOutlineItems();
    void PrepareOutline();
    void WriteOutline();

    // Marks objects to copy: object number itself (set to markSelf) and everything its
    // references reach, except page tree nodes and, with skipPages, page objects.
    void ScanReferences(int32_t number, bool markSelf, bool skipPages);
    void FollowReferences(const std::vector<int32_t>& refs, bool skipPages);
    void SetMark(int32_t number, bool on);
    bool IsMarked(int32_t number) const;

    // The raw value text of an attribute that a page inherits from node, and its references.
    struct InheritedValue {
        std::string text;
        std::vector<int32_t> refs;
    };
    const InheritedValue& Inherited(int32_t node, int which);

    CPdfFilePtr source;
    CPdfDocument document;
    CPdfXRef* xref = nullptr;
    std::unique_ptr<CPdfObjectIndex> index;
    int32_t infoNumber = 0, infoGeneration = 0;
    int32_t rootNumber = 0, rootGeneration = 0;
    int32_t pagesNumber = 0, pagesGeneration = 0;
    int32_t outlinesNumber = 0, outlinesGeneration = 0;
    int32_t encryptNumber = 0;
    uint32_t pageCount = 0;
    std::vector<PageSlot> pageSlots;
    std::vector<SelectedPage> selection;
    std::vector<OutlineEntry> outlineItems;
    // Positions in outlineItems of the items that open each page object, in outline order.
    std::map<int32_t, std::vector<size_t>> outlineItemsByPage;
    std::vector<OutlineEntry> keptItems;
    CPdfMode mode = modeNone;
    std::string inputName, outputName, modeText;
    bool hasOutlines = false;
    uint32_t walkCount = 0;

    bool prepared = false;
    std::vector<int32_t> catalogObjects;  // what the catalog reaches, the same for every output
    std::vector<uint8_t> marks;           // objects to copy into the current output
    std::vector<uint8_t> treeNodes;       // the source's page tree nodes, never copied
    std::vector<int32_t> marked;          // numbers ever marked for the current output
    std::map<std::pair<int32_t, int>, InheritedValue> inheritedValues;
};
