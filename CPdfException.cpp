#include "CPdfException.h"

#include <cstdarg>
#include <cstdio>

void CPdfException::Throw(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    throw CPdfException(text);
}
