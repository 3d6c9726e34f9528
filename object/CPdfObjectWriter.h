#pragma once

#include <functional>
#include <string>

#include "object/CPdfObject.h"

class CPdfReferenceMap;

// Writes parsed values back as PDF text, for the objects an output rebuilds (its catalog, page
// objects, outline, name trees, ...). References go through a CPdfReferenceMap; strings are
// written in the shorter of the literal and hexadecimal forms, through an optional transform of
// their bytes (encryption);
// names get "#" escapes where they need them; reals are written in the shortest decimal form
// that reads back as the same number. Keywords are written as their text: Verbatim makes a
// value that is written exactly as given, such as a reference that is already an output's.
class CPdfObjectWriter {
public:
    explicit CPdfObjectWriter(CPdfReferenceMap& references) : map(references) {}

    // Appends the text of value to out. Streams, and tokens that are not values, are written
    // as null.
    void Write(const CPdfObject& value, std::string& out) const;
    std::string Text(const CPdfObject& value) const {
        std::string out;
        Write(value, out);
        return out;
    }

    // A value written exactly as text.
    static CPdfObject Verbatim(const std::string& text);
    // A value written as the reference "number generation R", not passed through the map.
    static CPdfObject OutputReference(int32_t number, int32_t generation = 0);
    // "number generation R".
    static std::string ReferenceText(int32_t number, int32_t generation);
    // "number generation obj" and a line feed: the first line of an indirect object.
    static std::string ObjectHeader(int32_t number, int32_t generation);
    // The text of a name (without its slash) with "#" escapes.
    static std::string NameText(const std::string& name);
    // PDF value text with the white space and comments that no token needs taken out (see
    // CPdfCompactor): it reads back as the same tokens.
    static std::string Compact(const std::string& text);
    // A string's bytes as a literal string, or in hexadecimal where that is shorter.
    static std::string StringText(const std::string& bytes);
    // The shortest decimal text, without exponent, that reads back as value.
    static std::string RealText(double value);

    // Applied to the bytes of every string written; none by default.
    std::function<std::string(const std::string& bytes)> transformString;

private:
    CPdfReferenceMap& map;
};
