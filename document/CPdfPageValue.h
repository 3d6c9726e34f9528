#pragma once

#include <cstdint>

#include "object/CPdfObject.h"

// What a page record keeps of a value that loading checks: its kind, and the object it names
// when it is a reference. Nothing reads the values themselves after the checks, and the
// record of every page of a long document is held at once.
struct CPdfPageValue {
    CPdfPageValue() = default;
    explicit CPdfPageValue(const CPdfObject& value)
        : kind(value.kind), refNumber(value.refNumber), refGeneration(value.refGeneration) {}

    CPdfKind kind = kindNone;
    int32_t refNumber = 0;
    int32_t refGeneration = 0;
};
