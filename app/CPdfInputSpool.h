#pragma once

#include <string>

// The source given as "-": standard input. The document reader seeks in its source, so input
// that is not a regular file (a pipe, a terminal) is first copied to a temporary file in
// $TMPDIR (else /tmp), which is removed with the object, also when the run fails.
class CPdfInputSpool {
public:
    CPdfInputSpool() = default;
    // Removes the temporary file.
    ~CPdfInputSpool();
    CPdfInputSpool(const CPdfInputSpool&) = delete;
    CPdfInputSpool& operator=(const CPdfInputSpool&) = delete;

    // Reads standard input to its end when it is not a regular file, and returns the name
    // under which the source is opened: the temporary file, or "/dev/stdin" for a regular
    // file. Throws "File open error" when the input is a terminal or cannot be read or kept.
    std::string Open();

private:
    void Copy(int from, int to);

    std::string tempName;
};
