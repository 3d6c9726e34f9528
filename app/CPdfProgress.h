#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// What a run reports on standard error while it writes: with verbose, the name of each file
// written, one line each; and, only when standard error is a terminal and the run writes
// many files or lasts more than a second, one line "N of M pages, K files written" that is
// rewritten in place and cleared at the end.
class CPdfProgress {
public:
    // Reports to fd (standard error by default); the time of the run starts now.
    explicit CPdfProgress(int fd = 2);
    // Clears the progress line.
    ~CPdfProgress();
    CPdfProgress(const CPdfProgress&) = delete;
    CPdfProgress& operator=(const CPdfProgress&) = delete;

    // Names each file written from now on. Throws nothing.
    void SetVerbose(bool on) { verbose = on; }
    // Sets what the run is to write (one file of unknown length until this is called).
    // Throws nothing.
    void Plan(uint64_t pages, uint64_t files);
    // Counts a file of pages pages as written: names it when verbose and redraws the line
    // when it is due. Throws nothing.
    void FileWritten(const std::string& name, uint64_t pages);
    // Erases the progress line, if one is shown. Throws nothing.
    void Clear();

private:
    bool Due(std::chrono::steady_clock::time_point now) const;
    void Put(const std::string& text) const;

    int fd;
    bool terminal;
    bool verbose = false;
    uint64_t totalPages = 0, totalFiles = 1, pagesDone = 0, filesDone = 0;
    std::chrono::steady_clock::time_point started, drawn;
    size_t shownWidth = 0;  // characters of the line on screen; 0 when none is shown
};
