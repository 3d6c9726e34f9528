#pragma once

#include <cstdio>
#include <memory>
#include <string>

// Opens the source file for reading; the C file comes back in a pointer that closes it when
// it goes (CPdfFilePtr below).
class CPdfInputFile {
public:
    // Closes the C file of a CPdfFilePtr.
    struct Closer {
        void operator()(FILE* file) const { std::fclose(file); }
    };

    // Opens the file name for reading, in binary mode. Null when it cannot be opened, or when
    // it names a folder (which fopen opens, but which has no bytes to read). Throws nothing.
    static std::unique_ptr<FILE, Closer> Open(const std::string& name);
};

// An open C file, closed when the pointer goes.
using CPdfFilePtr = std::unique_ptr<FILE, CPdfInputFile::Closer>;
