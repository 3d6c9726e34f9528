#pragma once

#include <cstdint>

// One entry of an output file's object table: free (type 0), an object written at a file
// offset with its generation (type 1), or an object stored in an object stream (type 2: offset
// holds the stream's number, generation the object's index in it).
struct ObjectEntry {
    int64_t offset = -1;
    int32_t generation = 0;
    uint8_t type = 0;
};
