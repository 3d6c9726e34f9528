#pragma once

#include <string>
#include <vector>

#include "file/CPdfOutputFile.h"
#include "file/ObjectEntry.h"
#include "object/CPdfObject.h"

// The output side of the program: one output file at a time, its object table (indexed by
// object number, as long as the source's table), and the writers of its header,
// cross-reference table and trailer.
class CPdfFile {
public:
    CPdfFile() = default;
    virtual ~CPdfFile() = default;

    virtual bool ParseArguments(int argc, char** argv) = 0;
    virtual bool Run() = 0;

protected:
    // Makes the table count entries long, every entry unwritten.
    void ResetObjectTable(size_t count);
    // Records that object number starts at the current output position.
    void MarkWritten(int32_t number, int32_t generation);
    // Writes "%" + version, CR, a comment of four bytes above 127, CR LF.
    void WriteHeader(const std::string& version);
    // Writes the cross-reference table: one subsection from 0, a 20-byte line per entry.
    void WriteXRefTable();
    // Writes the trailer (/Size and the source's /Root, /Info, /ID and, when keepEncrypt is
    // set, /Encrypt), "startxref", the offset and "%%EOF".
    void WriteTrailer(int64_t startXRef, const CPdfObject& trailer, bool keepEncrypt);

    CPdfOutputFile output;
    std::vector<ObjectEntry> objectTable;

private:
    std::vector<size_t> touched;  // entries changed since the last reset
    std::string freeLines;        // the table's lines with every entry free, made once
};
