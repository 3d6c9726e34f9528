#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file/CPdfOutputFile.h"
#include "file/ObjectEntry.h"

// What the trailer of an output names: its catalog, its document information (number 0 for
// none), its encryption dictionary (number 0 for none) and the /ID array's text (empty for
// none).
struct CPdfTrailerEntries {
    int32_t rootNumber = 0, rootGeneration = 0;
    int32_t infoNumber = 0, infoGeneration = 0;
    int32_t encryptNumber = 0, encryptGeneration = 0;
    std::string id;  // "[<...><...>]"
};

// The output side of the program: one output file at a time, its object table (indexed by the
// output's object numbers), and the writers of its header, cross-reference table and trailer.
class CPdfFile {
public:
    CPdfFile() = default;
    virtual ~CPdfFile() = default;

    virtual bool ParseArguments(int argc, char** argv) = 0;
    virtual bool Run() = 0;

protected:
    // Empties the table for a new output file.
    void ResetObjectTable();
    // Records that object number starts at the current output position; the table grows to
    // hold it. Numbers below 1 are ignored.
    void MarkWritten(int32_t number, int32_t generation);
    // Writes "%" + version, CR, a comment of four bytes above 127, CR LF.
    void WriteHeader(const std::string& version);
    // Writes the cross-reference table: one subsection from 0, a 20-byte line per entry, the
    // numbers that hold no object as free entries.
    void WriteXRefTable();
    // Writes the trailer (/Size and the entries given), "startxref", the offset and "%%EOF".
    void WriteTrailer(int64_t startXRef, const CPdfTrailerEntries& entries);

    CPdfOutputFile output;
    std::vector<ObjectEntry> objectTable;
};
