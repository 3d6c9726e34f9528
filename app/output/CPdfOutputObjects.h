#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/CPdfPageList.h"
#include "file/CPdfXRef.h"
#include "object/CPdfObject.h"

class CPdfCopySet;
class CPdfDocument;
class CPdfObjectIndex;
class CPdfObjectWriter;
class CPdfFile;

// The source that outputs are made from and how its objects are carried over; set once a run.
struct CPdfOutputSource {
    const CPdfDocument* document = nullptr;  // open, its catalog loaded
    CPdfXRef* xref = nullptr;
    CPdfObjectIndex* index = nullptr;
    int32_t rootNumber = 0, rootGeneration = 0;
    int32_t infoNumber = 0, infoGeneration = 0;  // 0: no document information
    int32_t encryptNumber = 0;                   // the /Encrypt dictionary's object; 0: none
    // Objects keep the source's numbers and bytes (its encryption ties them to their numbers,
    // and the key is unknown): see CPdfCopySet.
    bool keepNumbers = false;
    bool reencrypt = false;  // every string and stream is encrypted anew for its output number
    bool decrypt = false;    // every string and stream is written in clear, with no /Encrypt
};

// The objects of one output: the copy set that numbers them and queues what they refer to,
// the writer of their text, and the chosen pages with their output numbers. The document parts
// of an output (CPdfOutputPart) plan and write through it; it lives for the run, and Begin
// starts each output.
class CPdfOutputObjects {
public:
    // Fetches the source catalog; throws "Catalog CPdfObject is wrong type" when it is not a
    // dictionary. source's pointers and file (the output file and its object table) outlive
    // this object.
    CPdfOutputObjects(const CPdfOutputSource& source, CPdfFile& file);
    ~CPdfOutputObjects();
    CPdfOutputObjects(const CPdfOutputObjects&) = delete;
    CPdfOutputObjects& operator=(const CPdfOutputObjects&) = delete;

    // Starts an output of the pages chosen: forgets every number of the previous one.
    void Begin(std::vector<SelectedPage> chosen);

    const CPdfOutputSource& Source() const { return source; }
    CPdfXRef* Xref() const { return source.xref; }
    const CPdfDocument& Document() const { return *source.document; }
    bool KeepsNumbers() const { return source.keepNumbers; }
    // The source catalog's dictionary.
    const CPdfObject& Catalog() const { return catalog; }
    CPdfCopySet& Copies() { return *copies; }
    const CPdfCopySet& Copies() const { return *copies; }
    CPdfObjectWriter& Writer() { return *writer; }
    // The output file and its object table.
    CPdfFile& File() { return file; }
    // The chosen pages in output order.
    const std::vector<SelectedPage>& Selection() const { return selection; }
    // Gives the chosen page at index (from 0) a page object of its own, numbered number: it is
    // a further copy of a page the output holds (or a page the source writes into /Kids). The
    // pages part calls it in the order of the pages; every other chosen page is written as the
    // object its source page number is given.
    void NumberCopy(size_t index, int32_t number) {
        // An index fits in 32 bits: each copy takes an output number, and there are fewer.
        copyNumbers.emplace_back(static_cast<uint32_t>(index), number);
    }
    // Whether the chosen page at index has a page object of its own (see NumberCopy).
    bool IsCopy(size_t index) const;
    // The output number of the page object of the chosen page at index.
    int32_t PageObjectAt(size_t index) const;

    // The object at source number, with the generation its entry gives; null outside the table.
    CPdfObject FetchObject(int32_t number) const;
    // The output number of the page object that source page object page stands for in this
    // output; 0 when the output does not hold it.
    int32_t OutputPageOf(int32_t page) const;
    // Calls visit with the page object of each of the output's pages in order, a page chosen
    // again once.
    void ForEachChosenPage(const std::function<void(int32_t)>& visit) const;

    // Writes value as output object number, generation generation, its strings encrypted for
    // it when outputs are re-encrypted. Without the file key its strings are written as
    // stored, which needs ownStrings: they all come from the source object of that number
    // (else "Password required", or why the key is unknown, is thrown).
    void WriteValueObject(int32_t number, int32_t generation, const CPdfObject& value,
                          bool ownStrings = true);
    // Copies every object that the objects written so far refer to.
    void WriteCopies();

private:
    // The entry of copyNumbers for the chosen page at index; nullptr when it has none.
    const std::pair<uint32_t, int32_t>* CopyAt(size_t index) const;

    CPdfOutputSource source;
    CPdfFile& file;
    CPdfObject catalog;
    std::unique_ptr<CPdfCopySet> copies;
    std::unique_ptr<CPdfObjectWriter> writer;
    std::vector<SelectedPage> selection;
    // The chosen pages given a page object of their own: their index and its number, in order.
    std::vector<std::pair<uint32_t, int32_t>> copyNumbers;
};
