#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/CPdfPageList.h"
#include "app/output/CPdfOutputObjects.h"
#include "file/CPdfFile.h"

class CPdfOutline;
class CPdfOutputPart;
class CPdfFile;
class CPdfPagesPart;

// Assembles each output document: its objects (CPdfOutputObjects), its pages and the
// document-level parts pruned to them, its catalog and what its trailer names. One
// CPdfOutputPart a part: each plans what the output keeps of it, writes its objects and sets
// its catalog entries, in the order the parts are listed here.
class CPdfOutputAssembler {
public:
    // Loads what every output reads of the source (its page tree, outline, named destinations,
    // page labels, form, structure tree) once, and marks what outputs write anew as never
    // copied by reference. source's pointers and file (the output file and its object table)
    // outlive the assembler.
    CPdfOutputAssembler(const CPdfOutputSource& source, CPdfFile& file);
    ~CPdfOutputAssembler();
    CPdfOutputAssembler(const CPdfOutputAssembler&) = delete;
    CPdfOutputAssembler& operator=(const CPdfOutputAssembler&) = delete;

    // Starts an output of the pages chosen, in order: numbers its catalog, page tree root and
    // pages, and plans every part. Writes nothing.
    void Plan(std::vector<SelectedPage> chosen);
    // Writes every object of the output planned (after its header; the page tree root last)
    // and returns what its trailer names.
    CPdfTrailerEntries Write();

    // A new object number of the current output.
    int32_t ReserveNumber();
    // The source's outline.
    const CPdfOutline& Outline() const;
    // The object at source number (see CPdfOutputObjects::FetchObject).
    CPdfObject FetchObject(int32_t number) const { return objects.FetchObject(number); }

private:
    void WriteCatalog();
    // Writes the source's /Encrypt dictionary as a new object; returns its number.
    int32_t WriteEncryptDictionary();
    // value with every reference in it resolved (streams, and nesting past a limit, null).
    CPdfObject Direct(const CPdfObject& value, int depth) const;
    std::string IdText() const;

    CPdfOutputObjects objects;
    std::unique_ptr<CPdfPagesPart> pages;
    const CPdfOutline* outline = nullptr;
    // The document-level parts, in the order their objects are written.
    std::vector<std::unique_ptr<CPdfOutputPart>> parts;
    int32_t catalogOut = 0;  // the current output's catalog
};
