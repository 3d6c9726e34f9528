#pragma once

#include <string>

#include "CPdfException.h"
#include "CPdfMessages.h"

// A broken invariant of the program: a bug in brantor, not a fault of the file. It prints
// kInternalError and a detail line that says what broke and asks for a bug report.
class CPdfInternalError : public CPdfException {
public:
    // what: the invariant that broke, in a few words.
    explicit CPdfInternalError(const std::string& what)
        : CPdfException(CPdfMessages::kInternalError) {
        Detail("internal error: " + what +
               "; this is a bug in brantor, please report it with the command line that showed it");
    }
};
