#pragma once

#include <cstdint>
#include <functional>

#include "object/CPdfObject.h"

class CPdfResolver;

// Reads name trees and number trees: the key-value pairs of their leaves (/Names or /Nums
// arrays), in tree order. A node met twice (a loop) is not read again; the nodes read and
// the levels below the root are bounded (CPdfLimits).
class CPdfNameTree {
public:
    // Hands every pair of the tree at root (a dictionary or a reference to one) to visit,
    // which returns false to stop the walk: the key and the value as stored (references not
    // resolved). leafKey is "Names" or "Nums". Throws what fetching objects throws.
    using Visitor = std::function<bool(const CPdfObject& key, const CPdfObject& value)>;
    static void Walk(CPdfResolver* xref, const CPdfObject& root, const char* leafKey,
                     const Visitor& visit);

    // The bytes of a name tree key (a string) or of a name.
    static std::string KeyBytes(const CPdfObject& key);
};
