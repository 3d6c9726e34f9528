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
    modeEven = 4,
    modeBookmarks = 5,
    modeGroups = 6,  // "-g...": one output per item of a page list
    modeMaxSize = 7  // "maxsize=SIZE": outputs of consecutive pages, each at most SIZE bytes
};

// One page of an output document: its 1-based page number (the output numbers its object,
// CPdfOutputObjects::PageObjectAt). A long output's list is held whole, so it is small.
struct SelectedPage {
    uint32_t pageNumber = 0;
};

// The pages of an output document, in order.
using CPdfSelection = std::vector<SelectedPage>;

// The mode grammar and the page list syntax ("-s" then items "7", "7-9", "9-7" or "7-"
// joined by ","; "9-7" is pages 9, 8, 7; "7-" is page 7 to the last page).
class CPdfPageList {
public:
    // "odd", "even", "bookmarks", "maxsize=..." (split by size), "-g..." (one file per item),
    // "-s...s" (chunks), "-s..." (a page list), or modeNone.
    static CPdfMode ClassifyMode(const std::string& modeText);

    // The pages of a list text, in the order written, duplicates kept. Throws
    // "Invalid parameter", "Invalid page number %d", "Page number %d greater than %d pages
    // in file" (also for the start of an open range) or "Wrong page ranges, %d greater than
    // %d pages in file".
    static CPdfSelection ParsePageList(const std::string& listText, uint32_t pageCount);

    // The items of a list text, each one's pages apart, checked as ParsePageList checks them.
    static std::vector<CPdfSelection> ParseItems(const std::string& listText, uint32_t pageCount);

    // Checks a list text's syntax without a page count: "" when it is well formed, else the
    // message ParsePageList would throw for it ("Invalid parameter", "Invalid page number 0").
    static std::string SyntaxError(const std::string& listText);

    // The highest page a list text names; 0 when an item runs to the last page ("7-") or the
    // text is not well formed. A run of the list needs no page above it.
    static uint32_t HighestPage(const std::string& listText);

    // The pages as a list text without "-s": runs of three or more pages going up or down by
    // one as "first-last", other pages one by one ("12-31", "1,3,5", "9-5,2"). Empty for no
    // pages.
    static std::string Format(const CPdfSelection& pages);

    // The chunk size between "-s" and the final "s", read like the C library's decimal
    // conversion (leading blanks and a sign allowed). Throws "Invalid page number" for 0, no
    // digits, a negative size, or anything but the final "s" after the digits; a size beyond
    // 32 bits counts as the largest 32-bit size.
    static uint32_t ReadChunkSize(const std::string& modeText);

    // The byte limit of "maxsize=SIZE": decimal digits, optionally followed by K, M or G
    // (1024, 1024^2, 1024^3; lower case as well). 0 for a malformed or zero size, or one
    // beyond 2^62.
    static uint64_t ReadMaxSize(const std::string& modeText);
};
