#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One output file being written. A regular file is written to a temporary file in the target
// folder and renamed into place by Commit, so that a failed run leaves no half-written file
// and an output named like the source does not destroy the source while it is being read.
// A target that exists and is not a regular file (a device, a pipe) is written directly.
class CPdfOutputFile {
public:
    CPdfOutputFile() = default;
    ~CPdfOutputFile();
    CPdfOutputFile(const CPdfOutputFile&) = delete;
    CPdfOutputFile& operator=(const CPdfOutputFile&) = delete;

    // Creates the file. Throws "Output file create error".
    void Open(const std::string& name);
    // Appends bytes. Throws "Output file write error".
    void Write(const void* data, size_t count);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    // Number of bytes written so far.
    int64_t Position() const { return position; }
    // Flushes, closes and moves the file into place. Throws "Output file write error".
    void Commit();
    // Closes and removes an uncommitted temporary file; nothing happens when none is open.
    void Abandon();

private:
    void Flush();

    int fd = -1;
    std::string targetName;
    std::string tempName;  // empty when writing the target directly
    std::vector<char> buffer;
    int64_t position = 0;
};
