#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "object/CPdfTextSpan.h"

// Scanning mode of the parser: instead of building every value it collects what the split job
// needs of an object: the references it holds and where they stand, whether it is a page
// (/Type /Page) or a page tree node (/Type /Pages), and, for a stream, where the value of its
// /Length stands. Arrays and dictionaries are built only down to the given depths (the
// top-level value has depth 1); deeper containers come back as empty values of their kind.
struct CPdfScan {
    int buildArrays = 0;
    int buildDictionaries = 1;
    // When set, only the values of the top-level dictionary's keys that it accepts are built
    // as above; the others come back empty.
    bool (*buildValueOf)(const std::string& key) = nullptr;
    // When set, the places of the strings are collected too.
    bool wantStrings = false;
    std::vector<CPdfTextSpan> refs;
    std::vector<CPdfTextSpan> strings;
    // When set, a top-level dictionary followed by "stream" (after white space or comments)
    // comes back as the dictionary, with streamFollows set, dictionaryEnd just after its ">>"
    // and streamKeywordEnd just after the keyword; the data is not looked at.
    bool stopAtStream = false;
    bool streamFollows = false;
    int64_t dictionaryEnd = 0;
    int64_t streamKeywordEnd = 0;
    CPdfTextSpan length;  // the top-level /Length value; start == end when there is none
    bool hasPage = false;
    bool hasPages = false;
};
