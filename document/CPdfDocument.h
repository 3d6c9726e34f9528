#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "file/CPdfInputFile.h"

class CPdfCatalog;
class CPdfException;
class CPdfFileStream;
class CPdfSecurity;
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
    // cross-reference data is rebuilt by scanning the file (see OpenRepaired).
    // An encrypted document's file key is found from password (the user or the owner
    // password), or from the empty user password when password is empty; with the key,
    // objects are read decrypted. Without it (no password given and the empty one is not the
    // user password, or encryption that cannot be read) objects are read as stored.
    // Throws "Can't open file" (also for a folder), "Wrong password" (a password given that is
    // neither), the encryption's messages when a password is given (see CPdfSecurity), why the key
    // is unknown
    // ("Password required", see RequireKey) when objects lie in object streams, or what the readers
    // throw; a failed open leaves it closed.
    void Open(const std::string& fileName, const std::string& password = std::string());
    // Releases everything; safe on a closed or half-open document.
    void Close();

    // Set before Open: the run needs only the first pagesNeeded pages (0: every page), so
    // the page tree may be read no further (see CPdfCatalog::Load).
    uint32_t pagesNeeded = 0;
    bool open = false;
    CPdfFilePtr file;
    std::shared_ptr<CPdfFileStream> stream;
    std::unique_ptr<CPdfXRef> xref;
    std::unique_ptr<CPdfCatalog> catalog;
    std::string version;    // e.g. "PDF-1.4"; empty when no header was found
    bool repaired = false;  // the cross-reference data was rebuilt by scanning the file
    // The standard security handler of an encrypted document whose /Encrypt dictionary could be
    // read; nullptr otherwise.
    std::unique_ptr<CPdfSecurity> security;

    // True when the trailer names an /Encrypt dictionary.
    bool IsEncrypted() const { return encrypted; }
    // True when the file key is known and objects are read decrypted.
    bool CanDecrypt() const;
    // Throws why the file key is unknown: "Password required" (the empty password is not the
    // user password) or the encryption's message; does nothing when the key is known or the
    // document is not encrypted.
    void RequireKey() const;

private:
    void ReadHeader();
    // Rebuilds the table and the catalog from a scan of the file; when that fails, the ones
    // held stay, why is set to the reason and false is returned.
    bool OpenRepaired(const std::string& password, std::string& why);
    // Reads the cross-reference data (by scanning the file with scan set), the security
    // handler and the catalog. Throws what each of them throws.
    void LoadObjects(bool scan, const std::string& password);
    void SetUpSecurity(const std::string& password);
    void RefuseEncryptedObjectStreams() const;

    bool encrypted = false;
    std::string keyProblem;  // why the key of an encrypted document is unknown
};
