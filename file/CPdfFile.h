#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file/CPdfObjStmWriter.h"
#include "file/CPdfOutputFile.h"
#include "file/ObjectEntry.h"

class CPdfSecurity;

// What the trailer of an output names: its catalog, its document information (number 0 for
// none), its encryption dictionary (number 0 for none) and the /ID array's text (empty for
// none).
struct CPdfTrailerEntries {
    int32_t rootNumber = 0, rootGeneration = 0;
    int32_t infoNumber = 0, infoGeneration = 0;
    int32_t encryptNumber = 0, encryptGeneration = 0;
    std::string id;  // "[<...><...>]"
};

// The output writer, base class of the split job: one output file at a time, its object table
// (indexed by the output's object numbers), and the writers of its frame. An output is written in
// the classic form (every object at an offset, a cross-reference table and a trailer), or with
// object streams: the objects that may be are packed into Flate-compressed object streams, and a
// cross-reference stream ends the file.
class CPdfFile {
public:
    CPdfFile() = default;
    virtual ~CPdfFile() = default;

    virtual bool ParseArguments(int argc, char** argv) = 0;
    virtual bool Run() = 0;

    // The objects of the output being written, between its header and its end, go through
    // what follows (the job's writers of its parts call them).

    // Whether a value object (not a stream, nor the /Encrypt dictionary) of generation goes
    // into an object stream. Its strings are then written as they read, not encrypted for it:
    // the object stream is encrypted as a whole.
    bool Packs(int32_t generation) const { return packing && generation == 0; }
    // Writes the value text of object number: into an object stream where Packs says so, else
    // as an indirect object at the current position.
    void WriteValue(int32_t number, int32_t generation, const std::string& value);
    // For a value too long to be held whole (a long output's page tree root): writes the head
    // of object number at the current position; the caller writes the value through output,
    // then WriteValueEnd. Such a value is never packed.
    void WriteValueHead(int32_t number, int32_t generation);
    void WriteValueEnd() { output.Write("\nendobj\n", 8); }
    // Records that object number starts at the current output position; the table grows to
    // hold it. Numbers below 1 are ignored.
    void MarkWritten(int32_t number, int32_t generation);
    // The output file, for bytes written as they are made.
    CPdfOutputFile& Output() { return output; }

protected:
    // Empties the table for a new output file, to be written with object streams or not. With
    // them, security (when not nullptr, it knows the key and outlives the output) encrypts
    // each object stream as a stream of its number.
    void ResetObjectTable(bool objectStreams = false, const CPdfSecurity* security = nullptr);
    // Makes room in the table for count objects at once, so that it does not grow step by step
    // (the memory is taken as entries are written).
    void ReserveObjects(size_t count);
    // Writes "%" + version, CR, a comment of four bytes above 127, CR LF. The version is
    // raised to PDF-1.5 where it is lower and the output has object streams.
    void WriteHeader(const std::string& version);
    // Ends the file after its last object: the object stream still open, then the
    // cross-reference table and trailer, or the cross-reference stream, naming entries.
    void WriteEnd(const CPdfTrailerEntries& entries);
    // Writes the cross-reference table: one subsection from 0, a 20-byte line per entry, the
    // numbers that hold no object as free entries.
    void WriteXRefTable();
    // Writes the trailer (/Size and the entries given), "startxref", the offset and "%%EOF".
    void WriteTrailer(int64_t startXRef, const CPdfTrailerEntries& entries);
    // A new object number of the output, for the object streams and the cross-reference stream
    // that the frame adds.
    virtual int32_t ReserveNumber() = 0;

    CPdfOutputFile output;

private:
    ObjectEntry& Entry(int32_t number);
    // Writes the object stream gathered so far, if it holds anything.
    void WriteObjectStream();
    void WriteXRefStream(const CPdfTrailerEntries& entries);

    std::vector<ObjectEntry> objectTable;
    bool packing = false;
    const CPdfSecurity* streamSecurity = nullptr;
    CPdfObjStmWriter objectStream;
};
