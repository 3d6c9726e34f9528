#pragma once

#include <cstdint>

// Tells what an indirect reference of a source object becomes when the object is written into
// an output: the object it names there, or null.
class CPdfReferenceMap {
public:
    virtual ~CPdfReferenceMap() = default;

    // Replaces number and generation with those of the output object that stands for them;
    // false when the reference is to be written as null. May queue the object for copying.
    virtual bool Map(int32_t& number, int32_t& generation) = 0;
};

// Keeps every reference as it is: for outputs that keep the source's object numbers.
class CPdfSameNumbers : public CPdfReferenceMap {
public:
    bool Map(int32_t&, int32_t&) override { return true; }
};
