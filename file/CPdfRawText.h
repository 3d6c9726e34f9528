#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Byte searches over raw object text.
namespace CPdfRawText {

// Index of the last byte of the first occurrence of pattern that lies wholly at or after
// from, or 0 when there is none.
size_t FindPattern(const char* text, size_t from, size_t length, const char* pattern,
                   size_t patternLength);

// File position of the last byte of the first occurrence of pattern at or after position
// from, or 0 when there is none.
int64_t FindPatternInFile(FILE* file, int64_t from, const char* pattern, size_t patternLength);

// Reads count bytes at position; fewer at the end of the file.
std::string ReadAt(FILE* file, int64_t position, size_t count);

}  // namespace CPdfRawText
