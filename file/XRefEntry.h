#pragma once

#include <cstdint>

// One entry of the source's cross-reference table. Type 0: free or not defined; type 1: the
// object's "N G obj" header is at offset (counted from the "%PDF-" header) with generation;
// type 2: the object is number generation (its index) of the object stream numbered offset.
// An offset of -1 marks an entry that no section has defined yet.
struct XRefEntry {
    int64_t offset = -1;
    int32_t generation = 0;
    int32_t type = 0;
};
