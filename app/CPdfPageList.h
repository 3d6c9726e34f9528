#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Mode codes of the third argument.
enum CPdfMode : int32_t {
    modeNone = 0,
    modePageList = 1,
    modeEveryN = 2,
    modeOdd = 3,
    modeEven = 4
};

// One page of an output document: its 1-based page number, and the object number under
// which it is written.
struct SelectedPage {
    uint32_t pageNumber = 0;
    int32_t outputNumber = 0;
};

// The mode grammar and the page list syntax ("-s" then items "7" or "7-9" joined by ",").
class CPdfPageList {
public:
    // "odd", "even", "-s...s" (chunks), "-s..." (a page list), or modeNone.
    static CPdfMode ClassifyMode(const std::string& modeText);

    // The pages of a list text, in the order written, duplicates kept. Throws
    // "Invalid parameter", "Invalid page number %d", "Page number %d greater than %d pages
    // in file", "Wrong page ranges, %d greater than %d pages in file" or "Wrong page ranges,
    // start page %d > end page %d".
    static std::vector<SelectedPage> ParsePageList(const std::string& listText, uint32_t pageCount);

    // The chunk size after "-s", read like the C library's decimal conversion. Throws
    // "Invalid page number" for 0, no digits, or a negative size; a size beyond 32 bits
    // counts as the largest 32-bit size.
    static uint32_t ReadChunkSize(const std::string& modeText);
};
