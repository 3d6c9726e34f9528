#include "file/CPdfInputFile.h"

#include <sys/stat.h>

CPdfFilePtr CPdfInputFile::Open(const std::string& name) {
    CPdfFilePtr file(std::fopen(name.c_str(), "rb"));
    struct stat st;
    if (file && fstat(fileno(file.get()), &st) == 0 && S_ISDIR(st.st_mode)) file.reset();
    return file;
}
