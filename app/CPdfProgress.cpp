#include "app/CPdfProgress.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {
// A run that writes this many files shows its progress from the first file on; a shorter one
// only once it has taken kSlowRun.
constexpr uint64_t kManyFiles = 100;
constexpr std::chrono::milliseconds kSlowRun(1000);
// The line is redrawn at most this often.
constexpr std::chrono::milliseconds kRedraw(100);
}  // namespace

CPdfProgress::CPdfProgress(int descriptor)
    : fd(descriptor),
      terminal(isatty(descriptor) == 1),
      started(std::chrono::steady_clock::now()) {}

CPdfProgress::~CPdfProgress() {
    Clear();
}

void CPdfProgress::Plan(uint64_t pages, uint64_t files) {
    totalPages = pages;
    totalFiles = files;
}

void CPdfProgress::FileWritten(const std::string& name, uint64_t pages) {
    pagesDone += pages;
    ++filesDone;
    if (verbose) {
        Clear();
        Put(name + "\n");
    }
    const auto now = std::chrono::steady_clock::now();
    if (!terminal || filesDone >= totalFiles || !Due(now)) return;
    std::string line = std::to_string(pagesDone) + " of " + std::to_string(totalPages) +
                       " pages, " + std::to_string(filesDone) +
                       (filesDone == 1 ? " file written" : " files written");
    // Spaces cover what is left of a longer line before.
    std::string text = "\r" + line;
    if (line.size() < shownWidth) text += std::string(shownWidth - line.size(), ' ');
    Put(text);
    shownWidth = std::max(shownWidth, line.size());
    drawn = now;
}

void CPdfProgress::Clear() {
    if (shownWidth == 0) return;
    Put("\r" + std::string(shownWidth, ' ') + "\r");
    shownWidth = 0;
}

bool CPdfProgress::Due(std::chrono::steady_clock::time_point now) const {
    if (totalFiles < kManyFiles && now - started < kSlowRun) return false;
    return shownWidth == 0 || now - drawn >= kRedraw;
}

void CPdfProgress::Put(const std::string& text) const {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a report that cannot be shown does not stop the run
        done += static_cast<size_t>(n);
    }
}
