#pragma once

#include <cstdint>
#include <string>

// An output name of the user's choice: a name holding "%" is a template whose placeholders
// are filled for each output file.
//
//   %d  the file's number in the run (1, 2, 3, ...)
//   %f  its first page    %l  its last page
//   %t  the title of the bookmark that starts it (bookmarks mode), reduced as in the names
//       that mode makes
//   %%  a "%"
//
// %d, %f and %l take a printf-style width, zero-padded with a leading 0: "%03d" writes 7 as
// "007", "%3d" as "  7".
class CPdfNameTemplate {
public:
    // What fills the placeholders for one file.
    struct Fields {
        uint64_t file = 1;
        uint64_t first = 0, last = 0;
        std::string title;
    };

    // Whether a name is a template.
    static bool IsTemplate(const std::string& name) { return name.find('%') != std::string::npos; }

    // "" when the template is well formed for a run that writes many files (it must then name
    // %d, %f or %l, so that the names differ) or one, with or without titles; else what is
    // wrong, as a sentence naming the offending piece. Throws nothing.
    static std::string Check(const std::string& name, bool manyFiles, bool titles);

    // The template filled with fields. The template must have passed Check.
    static std::string Expand(const std::string& name, const Fields& fields);
};
