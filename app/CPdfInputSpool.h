#pragma once

#include <cstdint>
#include <string>

// The source as the document reader can take it. The reader opens its source twice and seeks
// in it, so a source that is not a regular file (standard input given as "-", a named pipe, a
// character device, a process substitution such as /dev/fd/63) is first copied to a
// temporary file in $TMPDIR (else /tmp), which is removed with the object, also when the run
// fails.
class CPdfInputSpool {
public:
    CPdfInputSpool() = default;
    // Removes the temporary file.
    ~CPdfInputSpool();
    CPdfInputSpool(const CPdfInputSpool&) = delete;
    CPdfInputSpool& operator=(const CPdfInputSpool&) = delete;

    // Returns the name under which the source name ("-" for standard input) is opened: name
    // itself for a regular file or a block device ("/dev/stdin" for "-"), else the temporary
    // file holding everything read from it. Throws "File open error" when the source cannot
    // be opened, is a folder or a terminal, or cannot be read or kept, and "PDF file was
    // damaged" when it is empty. The temporary file is removed by a signal that ends the run.
    std::string Open(const std::string& name);

private:
    std::string Spool(int from);
    // Copies everything from the one file to the other; returns the number of bytes.
    int64_t Copy(int from, int to);
    // Throws "PDF file was damaged" with the detail that the source is empty.
    [[noreturn]] void Empty() const;

    std::string shown;  // the source's name for messages ("standard input" for "-")
    std::string tempName;
    int tempSlot = -1;  // tempName's place among the names the signal handlers remove
};
