#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

class CPdfObject;
class CPdfOutputFile;
class CPdfXRef;

// What the split job needs to know of one source object: where its raw text lies, which
// objects it refers to, and whether it is a page or a page tree node (its /Type).
struct CPdfObjectInfo {
    bool present = false;     // the object has raw text
    bool compressed = false;  // it lies in an object stream
    bool hasPages = false;    // it is a page tree node: /Type /Pages
    bool hasPage = false;     // it is a page: /Type /Page
    bool closeObject = false; // the stored text lacks "endobj": it is written after the value
    bool newlineAfter = false;  // the byte after "endobj" is not white space: write a newline
    int32_t generation = 0;
    int64_t textStart = 0;   // file position of the object's first byte (stored in the body)
    int64_t textLength = 0;  // bytes from there through "endobj" and the white space after it
    std::vector<int32_t> refs;  // numbers of the objects it refers to
};

// Finds and remembers, per source object number, the raw text and the references of the
// objects that the split job copies, so that each object is located and scanned once per
// run however many output files need it. Raw text is read through the split job's own
// handle on the source file.
class CPdfObjectIndex {
public:
    CPdfObjectIndex(CPdfXRef& xref, FILE* source);

    // The information on object number; an object without text (free, missing, unreadable)
    // comes back with present false. Throws what reading the source throws.
    const CPdfObjectInfo& Get(int32_t number);

    // The object's raw text: from its "N G obj" header through "endobj" and one white-space
    // byte (for a compressed object: "N 0 obj", CR, its bytes, "endobj", CR). Empty when the
    // object has no text.
    std::string ReadText(int32_t number);

    // Writes the object's raw text to out, in blocks, without holding it whole in memory.
    void CopyText(int32_t number, CPdfOutputFile& out);

    // Collects the numbers of all references inside a value, in order.
    static void CollectReferences(const CPdfObject& value, std::vector<int32_t>& refs);

private:
    void Locate(int32_t number, CPdfObjectInfo& info);
    void LocateInBody(int32_t number, CPdfObjectInfo& info, bool retried = false);
    void LocateCompressed(int32_t number, CPdfObjectInfo& info);
    static void TestType(const CPdfObject& value, CPdfObjectInfo& info);

    CPdfXRef& xref;
    FILE* source;
    std::unordered_map<int32_t, CPdfObjectInfo> infos;
};
