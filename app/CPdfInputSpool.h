#pragma once

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
    // be opened, is a folder or a terminal, or cannot be read or kept.
    std::string Open(const std::string& name);

private:
    std::string Spool(int from);
    void Copy(int from, int to);

    std::string tempName;
};
