#pragma once

#include <cstddef>
#include <cstdint>

class CPdfNodeEntries;
class CPdfResolver;

// Reads a dictionary object straight from its bytes, for the page tree walk, which reads every
// page of a document. Only the entries the walk looks at are kept (see CPdfNodeEntries); they
// are read when their values are names, numbers,
// references, null, booleans or flat arrays of these; a nested dictionary is recognised and
// kept as an empty dictionary value. Anything else (strings, comments, escapes in names,
// nested arrays, a stream, bytes that end too early) makes it give up, and the caller reads
// the object the ordinary way.
class CPdfShallowReader {
public:
    enum Result { taken, declined, truncated };

    // Reads "number generation obj << ... >>" from text, a window onto the file that may end
    // before the object does, or, with withHeader false, the dictionary alone from the
    // object's whole text (as an object stream holds it), into out, which starts empty.
    // taken on success; declined when the object is not one it reads; truncated when the text
    // ends before the object does. used tells how many bytes it looked at.
    static Result Read(const char* text, size_t length, bool withHeader, int32_t number,
                       int32_t generation, CPdfResolver* xref, CPdfNodeEntries& out, size_t& used);
};
