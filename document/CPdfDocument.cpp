#include "document/CPdfDocument.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "CPdfRefusedException.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfSecurity.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfFileStream.h"

CPdfDocument::CPdfDocument() = default;

CPdfDocument::~CPdfDocument() {
    Close();
}

namespace {
// The reason of a failure, the message where it gives none.
std::string Why(const CPdfException& failure) {
    return failure.GetReason().empty() ? failure.GetMessage() : failure.GetReason();
}
}  // namespace

void CPdfDocument::Open(const std::string& fileName, const std::string& password) {
    if (open) Close();
    file = CPdfInputFile::Open(fileName);
    if (!file) throw CPdfException(CPdfMessages::kCantOpenFile, std::strerror(errno));
    try {
        stream = std::make_shared<CPdfFileStream>(file.get(), 0, 0);
        ReadHeader();
        try {
            LoadObjects(false, password);
            // A table with entries that point at other objects than they name may also list
            // objects free that the file holds (a subsection numbered one off): the objects the
            // pages need are found by scanning the file instead, when that gives a catalog.
            std::string ignored;
            if (xref->entriesMisplaced) OpenRepaired(password, ignored);
        } catch (const CPdfRefusedException&) {
            throw;
        } catch (CPdfException& strict) {
            std::string why;
            if (!OpenRepaired(password, why)) {
                // Both ways may fail for the same reason: it is said once.
                if (why != Why(strict)) strict.SetReason(Why(strict) + ", and " + why);
                throw;
            }
        }
    } catch (...) {
        Close();
        throw;
    }
    open = true;
}

namespace {
// The first /ID elements that an encrypted document's key may have been made with, likeliest
// first. Readers agree on an /ID of two elements whose first is a string, and on the empty
// string where the /ID is missing or holds no string first; for an array of another length
// whose first element is a string, some take that string and some the empty string.
std::vector<std::string> KeyIds(const CPdfObject& id) {
    const bool array = id.kind == kindArray && id.arrayValue->GetCount() > 0;
    CPdfObject first = array ? id.arrayValue->GetResolvedAt(0) : CPdfObject(kindNull);
    if (first.kind != kindString) return {std::string()};
    if (id.arrayValue->GetCount() == 2) return {first.stringValue.Bytes()};
    return {std::string(), first.stringValue.Bytes()};
}
}  // namespace

void CPdfDocument::SetUpSecurity(const std::string& password) {
    encrypted = false;
    keyProblem.clear();
    security.reset();
    xref->SetDecryptor(nullptr);
    CPdfObject encrypt = xref->trailer.dictValue->Get("Encrypt");
    if (encrypt.kind == kindNull) return;
    encrypted = true;
    const int32_t number = encrypt.kind == kindReference ? encrypt.refNumber : 0;
    // The first /ID element goes into the key; the /ID and the /Encrypt dictionary are never
    // encrypted (the table does not decrypt yet).
    const std::vector<std::string> ids = KeyIds(xref->trailer.dictValue->GetResolved("ID"));
    try {
        encrypt = encrypt.Resolve(xref.get());
        if (encrypt.kind != kindDictionary) throw CPdfException(CPdfMessages::kEncryptionDamaged);
        for (const std::string& id : ids) {
            auto handler = std::make_unique<CPdfSecurity>(*encrypt.dictValue, id, number);
            const bool found = handler->Authenticate(password);
            if (found || !security) security = std::move(handler);
            // From revision 5 on the key does not depend on the /ID.
            if (found || security->Revision() >= 5) break;
        }
        if (!security->CanDecrypt()) {
            throw CPdfException(password.empty() ? CPdfMessages::kPasswordRequired
                                                 : CPdfMessages::kWrongPassword);
        }
    } catch (const CPdfException& failure) {
        // Without a password the document is read as stored; the caller decides whether it
        // needs the key.
        if (!password.empty()) throw CPdfRefusedException(failure.GetMessage());
        keyProblem = failure.GetMessage();
        return;
    }
    xref->SetDecryptor(security.get());
}

bool CPdfDocument::CanDecrypt() const {
    return security && security->CanDecrypt();
}

void CPdfDocument::RequireKey() const {
    if (encrypted && !CanDecrypt()) throw CPdfRefusedException(keyProblem);
}

void CPdfDocument::RefuseEncryptedObjectStreams() const {
    // Objects inside object streams are encrypted with the stream; without the key they
    // cannot be read, and the catalog and pages would come out as nonsense.
    if (!encrypted || CanDecrypt()) return;
    for (const XRefEntry& e : xref->entries) {
        if (e.Type() == 2) RequireKey();
    }
}

void CPdfDocument::LoadObjects(bool scan, const std::string& password) {
    xref = std::make_unique<CPdfXRef>();
    if (scan) {
        xref->LoadRepaired(stream.get());
    } else {
        xref->Load(stream.get());
    }
    SetUpSecurity(password);
    RefuseEncryptedObjectStreams();
    catalog = std::make_unique<CPdfCatalog>();
    catalog->Load(xref.get(), pagesNeeded);
}

bool CPdfDocument::OpenRepaired(const std::string& password, std::string& why) {
    // A damaged file gets a second chance: its objects are found by scanning it. When that
    // fails too, the table and catalog held stay, and the strict reader's message is the one
    // reported.
    std::unique_ptr<CPdfXRef> heldXref = std::move(xref);
    std::unique_ptr<CPdfCatalog> heldCatalog = std::move(catalog);
    auto heldSecurity = std::move(security);
    try {
        LoadObjects(true, password);
        repaired = true;
        return true;
    } catch (const CPdfRefusedException&) {
        throw;
    } catch (const CPdfException& failure) {
        why = Why(failure);
        xref = std::move(heldXref);
        catalog = std::move(heldCatalog);
        security = std::move(heldSecurity);
        return false;
    }
}

void CPdfDocument::Close() {
    catalog.reset();
    xref.reset();
    security.reset();
    encrypted = false;
    keyProblem.clear();
    stream.reset();
    file.reset();
    open = false;
}

namespace {
constexpr size_t kMaxVersionLength = 64;
}  // namespace

void CPdfDocument::ReadHeader() {
    char buffer[1024];
    for (int i = 0; i < 1023; ++i) buffer[i] = static_cast<char>(stream->GetChar());
    buffer[1023] = 0;
    for (int i = 0; i <= 1017; ++i) {
        if (std::strncmp(buffer + i, "%PDF-", 5) != 0) continue;
        stream->MoveStart(i);
        // The version token is read from the file, so that one that runs past the first
        // 1023 bytes is not cut short.
        stream->GetChar();  // "%"
        for (int c = stream->GetChar(); c > 0 && c != ' ' && c != '\t' && c != '\n' && c != '\r' &&
                                        version.size() < kMaxVersionLength;
             c = stream->GetChar()) {
            version.push_back(static_cast<char>(c));
        }
        stream->MoveStart(0);
        return;
    }
}
