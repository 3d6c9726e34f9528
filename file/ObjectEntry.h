#pragma once

#include <cstdint>

// One entry of an output file's object table: where the object was written, its
// generation, and whether it is in the file.
struct ObjectEntry {
    int64_t offset = -1;
    int32_t generation = 0;
    bool inUse = false;
};
