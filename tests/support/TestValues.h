#pragma once

// Small helpers shared by the tests: page ranges, byte strings, streams over text, one parsed
// value.

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "object/CPdfObject.h"
#include "object/CPdfParser.h"
#include "stream/CPdfMemoryStream.h"

// first, first + 1, ..., last.
inline std::vector<int> Range(int first, int last) {
    std::vector<int> pages;
    for (int n = first; n <= last; ++n) pages.push_back(n);
    return pages;
}

// A string of the given byte values.
inline std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

// A stream over a copy of the bytes [begin, end) of `text`.
inline std::shared_ptr<CPdfMemoryStream> Memory(const std::string& text, size_t begin = 0,
                                                size_t end = std::string::npos) {
    return std::make_shared<CPdfMemoryStream>(std::make_shared<const std::string>(text), begin,
                                              end);
}

// What the stream gives up to its end, at most `limit` bytes.
inline std::string ReadAll(CPdfStream& s, size_t limit = size_t{1} << 20) {
    std::string out;
    for (int c = s.GetChar(); c >= 0 && out.size() < limit; c = s.GetChar()) {
        out.push_back(static_cast<char>(c));
    }
    return out;
}

// The first value of `text`, parsed without a document.
inline CPdfObject ParseOne(const std::string& text) {
    CPdfParser parser(nullptr, Memory(text));
    return parser.ParseObject();
}

// An object of a document built for a test: its number, its text (empty: a free entry where
// the builder takes that meaning) and its generation.
struct Obj {
    int number;
    std::string body;
    int generation = 0;
};
