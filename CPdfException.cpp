#include "CPdfException.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void CPdfException::ConcernsFile(const std::string& fileName) {
    if (!detail.empty()) return;
    detail = fileName + ": " + (reason.empty() ? std::string(GetMessage()) : reason);
}

std::string CPdfException::SystemDetail(const char* what, const std::string& fileName, int error) {
    return std::string(what) + " " + fileName + ": " + std::strerror(error);
}

void CPdfException::Throw(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    throw CPdfException(text);
}
