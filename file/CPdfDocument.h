#pragma once

#include <memory>
#include <string>

#include "file/CPdfFileCloser.h"

class CPdfCatalog;
class CPdfFileStream;
class CPdfXRef;

// The opened source document: its file, the stream over the whole file, the cross-reference
// table, the catalog with its page list, and the header's version token.
class CPdfDocument {
public:
    CPdfDocument();
    ~CPdfDocument();
    CPdfDocument(const CPdfDocument&) = delete;
    CPdfDocument& operator=(const CPdfDocument&) = delete;

    // Opens the file, finds the header, loads the cross-reference data and the catalog; damaged
    // cross-reference data is rebuilt by scanning the file (see repaired). Throws "Can't open
    // file" (also for a folder) or what the readers throw; a failed open leaves it closed.
    void Open(const std::string& fileName);
    // Releases everything; safe on a closed or half-open document.
    void Close();

    bool open = false;
    CPdfFilePtr file;
    std::shared_ptr<CPdfFileStream> stream;
    std::unique_ptr<CPdfXRef> xref;
    std::unique_ptr<CPdfCatalog> catalog;
    std::string version;    // e.g. "PDF-1.4"; empty when no header was found
    bool repaired = false;  // the cross-reference data was rebuilt by scanning the file

private:
    void ReadHeader();
    // Rebuilds the table and the catalog from a scan of the file; when that fails, the ones
    // held stay and false is returned.
    bool OpenRepaired();
    void RefuseEncryptedObjectStreams() const;
};
