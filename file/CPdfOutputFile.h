#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One output file being written. A regular file is written to a temporary file in the target
// folder and renamed into place by Commit, so that a failed run leaves no half-written file
// and an output named like the source does not destroy the source while it is being read.
// A target that exists and is not a regular file (a device, a pipe) is written directly. A
// symbolic link is written through to the file it names, which is created when it does not
// exist yet; the link stays. The name "-" is standard output, which gets the file when it is
// committed (until then it is kept in a temporary file in $TMPDIR, else /tmp).
class CPdfOutputFile {
public:
    CPdfOutputFile() = default;
    ~CPdfOutputFile();
    CPdfOutputFile(const CPdfOutputFile&) = delete;
    CPdfOutputFile& operator=(const CPdfOutputFile&) = delete;

    // Creates the file. Throws "Output file create error", also for an existing file that the
    // user may not write (the rename would replace it) and for a loop of symbolic links.
    void Open(const std::string& name);
    // Starts an output that is only measured: its bytes are counted (Position) and go
    // nowhere. Commit and Abandon end it. Throws nothing.
    void OpenMeasure();
    // True while the output is only measured.
    bool IsMeasuring() const { return measuring; }
    // Appends bytes. Throws "Output file write error".
    void Write(const void* data, size_t count);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    // Appends count bytes read from position of the file open as fd. Throws "Output file
    // write error", or "Corrupted PDF file" when the source ends early.
    void CopyFrom(int fd, int64_t position, int64_t count);
    // The name as given to Open, for messages ("standard output" for "-").
    const std::string& Name() const { return shownName; }
    // Number of bytes written so far.
    int64_t Position() const { return position; }
    // Flushes, closes and moves the file into place (or copies it to standard output).
    // Throws "Output file write error".
    void Commit();
    // Closes and removes an uncommitted temporary file; nothing happens when none is open.
    void Abandon();

    // The folder for temporary files that are not beside an output: $TMPDIR, else /tmp.
    static std::string TemporaryFolder();

private:
    void Flush();
    void OpenStandardOutput();
    void CopyToStandardOutput();
    void WriteDirect(const char* data, size_t count);
    // Drops the committed or removed temporary from the names the signal handlers remove.
    void ForgetTemporary();

    int fd = -1;
    std::string targetName;
    std::string tempName;   // empty when writing the target directly
    int tempSlot = -1;      // tempName's place among the names the signal handlers remove
    std::string shownName;  // the name as given, for messages ("standard output" for "-")
    bool toStandardOutput = false;
    bool measuring = false;  // bytes are counted, not written

    std::vector<char> buffer;  // allocated once; used holds the bytes not yet written
    size_t used = 0;
    int64_t position = 0;
};
