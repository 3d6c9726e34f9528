#pragma once

#include <cstddef>
#include <cstdint>

// Bounds on the work and memory that a document can make the program spend. Each keeps a
// hostile or broken file from making a run loop, recurse or allocate without end; none is
// reached by a document that readers display.
namespace CPdfLimits {

// Nodes of a name tree or number tree visited (named destinations, page labels, structure
// parent trees): well above the largest trees written by real producers.
constexpr size_t kMaxTreeNodes = 100000;
// Levels of a name tree, number tree, outline or structure tree below its root: real trees
// have a handful; a deeper one is a loop or an attack on the stack.
constexpr size_t kMaxTreeLevels = 256;
// Outline items, fields and structure elements read from one document.
constexpr size_t kMaxItems = 4000000;

}  // namespace CPdfLimits
