#pragma once

#include <cstdio>
#include <memory>
#include <string>

// Closes a C file when the pointer that owns it goes (see CPdfFilePtr below).
struct CPdfFileCloser {
    void operator()(FILE* file) const { std::fclose(file); }

    // Opens the file name for reading, in binary mode. Null when it cannot be opened, or when
    // it names a folder (which fopen opens, but which has no bytes to read). Throws nothing.
    static std::unique_ptr<FILE, CPdfFileCloser> OpenForReading(const std::string& name);
};

// An open C file, closed when the pointer goes.
using CPdfFilePtr = std::unique_ptr<FILE, CPdfFileCloser>;
