#pragma once

#include <cstdint>
#include <vector>

#include "file/XRefEntry.h"
#include "object/CPdfObject.h"

class CPdfXRef;

// Rebuilds cross-reference data for a damaged file by scanning it for "N G obj" headers and
// "trailer" dictionaries, the way readers repair files whose cross-reference data is lost or
// wrong. Kept apart from the strict reader, which it only ever serves as a fallback.
class CPdfXRefRepair {
public:
    // Scans the file that xref reads (its stream, header offset and size must be set).
    explicit CPdfXRefRepair(CPdfXRef& xref);

    // Where the last header "N G obj" for number stands (offset from the "%PDF-" header), or
    // -1 when the file has none.
    int64_t OffsetOf(int32_t number, int32_t& generation) const;

    // Replaces the table's entries and trailer with the rebuilt ones: every object found in
    // the file body, the objects of the object streams found, and a trailer with /Root
    // (and /Info, /ID) from the last trailer that has one, or a catalog found by its /Type.
    // Throws "PDF file was damaged" when no catalog can be found.
    void Rebuild();

private:
    void ScanHeaders();
    void ScanTrailers();
    void ReadTrailerAt(int64_t position);
    void AddObjectStreams();
    void AddObjectStream(int32_t streamNumber);
    void FindCatalog();

    CPdfXRef& xref;
    std::vector<XRefEntry> found;
    std::vector<int64_t> trailerPositions;
    CPdfObject trailer;
};
