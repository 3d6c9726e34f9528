#pragma once

#include "CPdfException.h"

// A failure that is not damage: the document was read as it stands and cannot be split (its
// encryption, for one). Rebuilding its cross-reference data by scanning the file would read
// the same thing, so the reader does not retry such a failure with a repair.
class CPdfRefusedException : public CPdfException {
public:
    using CPdfException::CPdfException;
};
