// Fuzz target: opening a document (header, cross-reference data, repair, catalog and page
// tree) from arbitrary file contents.
#include <cstddef>
#include <cstdint>

#include "CPdfException.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzzsupport::TempDir& dir = fuzzsupport::Scratch();
    std::string input = dir.Write("in.pdf", data, size);
    try {
        CPdfDocument document;
        document.Open(input);
        volatile size_t pages = document.catalog->GetPageCount();
        (void)pages;
    } catch (const CPdfException&) {
    }
    dir.Clear();
    return 0;
}
