#pragma once

// Whole files as bytes, for the tests and their tools.
#include <fstream>
#include <sstream>
#include <string>

namespace e2e {

// Every byte of the file (or FIFO) at `path`; "" where it cannot be opened. The bytes are
// copied a buffer at a time: a byte-by-byte copy costs seconds over a corpus run's images.
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in) bytes << in.rdbuf();
    return std::move(bytes).str();
}

}  // namespace e2e
