#include "file/CPdfDocument.h"

#include <cstring>

#include "CPdfException.h"
#include "CPdfRefusedException.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfFileStream.h"

CPdfDocument::CPdfDocument() = default;

CPdfDocument::~CPdfDocument() {
    Close();
}

void CPdfDocument::Open(const std::string& fileName) {
    if (open) Close();
    file = CPdfFileCloser::OpenForReading(fileName);
    if (!file) throw CPdfException("Can't open file");
    try {
        stream = std::make_shared<CPdfFileStream>(file.get(), 0, 0, CPdfObject(kindNull));
        ReadHeader();
        try {
            xref = std::make_unique<CPdfXRef>();
            xref->Load(stream.get());
            RefuseEncryptedObjectStreams();
            catalog = std::make_unique<CPdfCatalog>();
            catalog->Load(xref.get());
            // A table with entries that point at other objects than they name may also list
            // objects free that the file holds (a subsection numbered one off): the objects the
            // pages need are found by scanning the file instead, when that gives a catalog.
            if (xref->entriesMisplaced) OpenRepaired();
        } catch (const CPdfRefusedException&) {
            throw;
        } catch (const CPdfException&) {
            if (!OpenRepaired()) throw;
        }
    } catch (...) {
        Close();
        throw;
    }
    open = true;
}

void CPdfDocument::RefuseEncryptedObjectStreams() const {
    // Objects inside object streams are encrypted with the stream; without the key they
    // cannot be read, and the catalog and pages would come out as nonsense.
    if (xref->trailer.dictValue->Get("Encrypt").kind == kindNull) return;
    for (const XRefEntry& e : xref->entries) {
        if (e.type == 2) {
            throw CPdfRefusedException("Encrypted document with object streams cannot be split");
        }
    }
}

bool CPdfDocument::OpenRepaired() {
    // A damaged file gets a second chance: its objects are found by scanning it. When that
    // fails too, the strict reader's message is the one reported.
    try {
        auto rebuilt = std::make_unique<CPdfXRef>();
        rebuilt->LoadRepaired(stream.get());
        auto rebuiltCatalog = std::make_unique<CPdfCatalog>();
        rebuiltCatalog->Load(rebuilt.get());
        catalog = std::move(rebuiltCatalog);
        xref = std::move(rebuilt);
        repaired = true;
        return true;
    } catch (const CPdfException&) {
        return false;
    }
}

void CPdfDocument::Close() {
    catalog.reset();
    xref.reset();
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
