#pragma once

#include <cstdint>

#include "object/CPdfObject.h"

// What a value needs of its document to follow an indirect reference: the object that a
// number and generation name. The source's cross-reference table (CPdfXRef) is the one
// implementation; arrays and dictionaries hold a pointer to it, null while cross-reference
// data itself is read.
class CPdfResolver {
public:
    // The object numbered number with that generation, or null when it cannot be had. May
    // throw CPdfException (a number outside the document, for instance).
    virtual CPdfObject Fetch(int32_t number, int32_t generation) = 0;

protected:
    CPdfResolver() = default;
    CPdfResolver(const CPdfResolver&) = default;
    CPdfResolver& operator=(const CPdfResolver&) = default;
    ~CPdfResolver() = default;
};
