#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Takes out of PDF value text the white space and comments that no token needs: the text it
// writes reads back as exactly the tokens of the text it was given, by this program's lexer
// and by any other reader. Tokens are copied byte for byte; between two tokens it keeps one
// space only where the first could run on into the second (a name, number or keyword before
// a regular byte, a stray ">" before a ">"). The white space around a value goes.
//
// Bytes may come in pieces (as an object stream is decoded): a token that may go on in the
// next piece is held back until it ends, and a run of white space or a comment costs nothing
// however long it is. Used for the objects of decoded object streams and for every object an
// output writes.
class CPdfCompactor {
public:
    // Writes into target, appending.
    explicit CPdfCompactor(std::string& target) : out(target) {}

    // Adds the next bytes of the current value.
    void Add(const char* bytes, size_t count);
    // Ends the current value: what was held back is written, and tokens of the next value
    // are not joined to it.
    void EndValue();
    // Bytes held back: the start of a token that the next bytes may continue.
    size_t Held() const { return pending.size(); }

    // text compacted as one value.
    static std::string Compact(const std::string& text);

private:
    // What the last token written may run on into.
    enum class Tail : uint8_t { none, regularBytes, greaterThan, nothing };

    // Writes the tokens of the bytes held; with final false, a token that the next bytes may
    // continue stays held.
    void Scan(bool final);

    std::string& out;
    std::string pending;
    size_t rescanAt = 0;  // pending's size at which it is scanned again
    Tail tail = Tail::none;
    bool gap = false;        // white space or a comment since the last token written
    bool inComment = false;  // the bytes so far end inside a comment
};
