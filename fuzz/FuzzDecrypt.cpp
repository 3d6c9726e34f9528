// Fuzz target: the decrypting reader. The input is opened as a document with the empty
// password and, when that does not give the key, with "user-pw"; then every object is fetched
// (strings decrypted, stream data decrypted and decoded, object streams decrypted whole) and
// the writer's primitives encrypt what was read for another object number.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "CPdfException.h"
#include "document/CPdfDocument.h"
#include "file/CPdfSecurity.h"
#include "file/CPdfXRef.h"
#include "fuzz/FuzzTempDir.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfStream.h"

namespace {
// Bounds on the work per input: objects fetched, and stream bytes read in all.
constexpr size_t kMaxObjects = 2000;
constexpr size_t kMaxStreamBytes = 4u << 20;

void ReadObjects(CPdfDocument& document) {
    CPdfXRef& xref = *document.xref;
    const CPdfSecurity* security = document.CanDecrypt() ? document.security.get() : nullptr;
    size_t streamBytes = 0;
    const size_t count = std::min(xref.entries.size(), kMaxObjects);
    for (size_t n = 1; n < count; ++n) {
        const XRefEntry e = xref.entries[n];
        const int32_t number = static_cast<int32_t>(n);
        CPdfObject value = xref.Fetch(number, e.Type() == 1 ? e.Generation() : 0);
        if (value.kind == kindString && security) {
            security->EncryptString(value.stringValue.data, number + 1);
        }
        if (value.kind != kindStream) continue;
        std::string data;
        uint8_t chunk[4096];
        for (size_t got; streamBytes < kMaxStreamBytes &&
                         (got = value.streamValue->Read(chunk, sizeof chunk)) > 0;) {
            data.append(reinterpret_cast<const char*>(chunk), got);
            streamBytes += got;
        }
        if (security) {
            std::string encrypted = security->EncryptStreamData(data, value.GetDict(), number + 1);
            security->DecryptStreamData(encrypted, value.GetDict(), number + 1, 0);
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzzsupport::TempDir& dir = fuzzsupport::Scratch();
    std::string input = dir.Write("in.pdf", data, size);
    for (const char* password : {"", "user-pw"}) {
        try {
            CPdfDocument document;
            document.Open(input, password);
            ReadObjects(document);
            if (!document.IsEncrypted() || document.CanDecrypt()) break;
        } catch (const CPdfException&) {
        }
    }
    dir.Clear();
    return 0;
}
