#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>

// Reads a content stream (the drawing of a page, form, pattern, glyph or appearance) for the
// resource names its operators can look up, through the lexer's fast mode.
namespace CPdfContentScan {

// Adds every name token of content[0, length) to names ("#" escapes decoded): the operands of
// Do, Tf, gs, sh, cs, scn, BDC and the rest among them. The data of an inline image (BI ... ID
// data EI) is stepped over as readers step over it. False when the content cannot be read
// with certainty: an inline image whose end is in doubt, "ID" outside an inline image, or a
// string still open at the end.
bool CollectNames(const char* content, size_t length, std::unordered_set<std::string>& names);

}  // namespace CPdfContentScan
