#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Scanning mode of the parser: instead of building every value it collects what the
// split job needs of an object, the numbers of the references it holds and whether it is a
// page (/Type /Page) or a page tree node (/Type /Pages), and builds arrays and dictionaries
// only down to the given depths (the top-level value has depth 1). Deeper containers come
// back as empty values of their kind.
struct CPdfScan {
    int buildArrays = 0;
    int buildDictionaries = 1;
    // When set, only the values of the top-level dictionary's keys that it accepts are built
    // as above; the others come back empty.
    bool (*buildValueOf)(const std::string& key) = nullptr;
    std::vector<int32_t> refs;
    bool hasPage = false;
    bool hasPages = false;
};
