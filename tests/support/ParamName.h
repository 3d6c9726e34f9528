#pragma once

#include <cctype>
#include <cstddef>
#include <string>

// A test name for the index-th case of a parameterized suite, readable and the same in every
// build: the index, then the case's text with every run of other bytes than letters and digits
// as one '_' (at most 40 of them), e.g. 3 and "-s1,3" give "3_s1_3".
inline std::string ParamName(size_t index, const std::string& text) {
    std::string name = std::to_string(index);
    for (unsigned char c : text) {
        if (name.size() >= 48) break;
        const char out = std::isalnum(c) ? static_cast<char>(c) : '_';
        if (out != '_' || name.back() != '_') name.push_back(out);
    }
    if (name.back() == '_') name.pop_back();
    return name;
}
