#pragma once

#include <cstdint>

// Where an indirect reference ("n g R") or a string stands in a text: the position of its first
// byte and the position just after its last. The parser's scan gives file positions (or
// positions in the bytes of a memory stream); the object index keeps them from the first byte
// of the object's value.
struct CPdfTextSpan {
    int64_t start = 0;
    int64_t end = 0;
    int32_t number = 0;  // for a reference: the object it names
    int32_t generation = 0;
};
