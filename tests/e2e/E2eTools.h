#pragma once

// e2e: runs the built program and the outside checkers (qpdf, mutool) for the end-to-end and
// corpus tests.
//
// Commands are started without a shell (arguments go to the program as they are, so names
// with spaces or quotes need no quoting), read back on pipes, and killed when they run past
// their time limit. A run records the exit status or the signal that ended it.
//
// Rendering: pages are drawn with "mutool draw -r 18 -F pnm" and compared byte for byte. A
// page whose drawing reports an error is marked as failed instead of being compared.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace e2e {

// Time limits, in seconds.
constexpr int kProgramTimeout = 60;
constexpr int kToolTimeout = 120;

struct Outcome {
    int exitCode = -1;  // exit status when the command exited
    int signal = 0;     // signal that ended it, else 0
    bool timedOut = false;
    bool started = false;
    std::string out;
    std::string err;

    bool Exited(int code) const { return started && !timedOut && signal == 0 && exitCode == code; }
    // "exit 1", "signal 11", "timed out", "could not start".
    std::string Status() const {
        if (!started) return "could not start";
        if (timedOut) return "timed out";
        if (signal != 0) return "signal " + std::to_string(signal);
        return "exit " + std::to_string(exitCode);
    }
};

// Runs argv[0] (looked up in PATH) with stdin from /dev/null and stdout and stderr captured;
// the command is killed after `timeoutSeconds`.
inline Outcome RunCommand(const std::vector<std::string>& argv, int timeoutSeconds) {
    Outcome run;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return run;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return run;
    }
    run.started = true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        const int ready = poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[8192];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& p : fds) {
        if (p.fd >= 0) close(p.fd);
    }
    // The pipes are closed when the command ends; a command that closed them early still
    // gets its time limit here.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, run.timedOut ? 0 : WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return run;
        if (done == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                run.timedOut = true;
                kill(pid, SIGKILL);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status) && !run.timedOut) run.signal = WTERMSIG(status);
    return run;
}

// ---------------------------------------------------------------------------------------
// Files

// A new empty folder under $TMPDIR (or /tmp), removed with its contents on destruction.
class TempDir {
public:
    explicit TempDir(const std::string& tag) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base && *base ? base : "/tmp") + "/brantor-" + tag + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data())) path_ = buffer.data();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

// Names of the entries of a folder, sorted.
inline std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Removes every entry of a folder.
inline void ClearDir(const std::string& dir) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

// First line of a text, for short failure reports.
inline std::string FirstLine(const std::string& text) {
    const size_t start = text.find_first_not_of("\r\n");
    if (start == std::string::npos) return "";
    return text.substr(start, text.find_first_of("\r\n", start) - start);
}

// Names of the files that "-s<size>s" makes from a document of `pages` pages with `prefix`.
inline std::vector<std::string> ChunkNames(const std::string& prefix, int pages, int size) {
    std::vector<std::string> names;
    for (int first = 1; first <= pages; first += size) {
        char text[32];
        if (size == 1) {
            std::snprintf(text, sizeof text, "%06d.pdf", first);
        } else {
            std::snprintf(text, sizeof text, "%06d-%06d.pdf", first,
                          std::min(first + size - 1, pages));
        }
        names.push_back(prefix + text);
    }
    return names;
}

// ---------------------------------------------------------------------------------------
// qpdf

// Whether the checkers are installed: "qpdf --version" and "mutool -v" succeed.
inline bool HaveQpdf() {
    return RunCommand({"qpdf", "--version"}, kToolTimeout).Exited(0);
}
inline bool HaveMutool() {
    return RunCommand({"mutool", "-v"}, kToolTimeout).Exited(0);
}

// Number on the last line of a text, -1 when that line is not a number.
inline int LastNumber(const std::string& text) {
    size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos) return -1;
    const size_t start =
        text.find_last_of('\n', end) == std::string::npos ? 0 : text.find_last_of('\n', end) + 1;
    const std::string line = text.substr(start, end + 1 - start);
    if (line.empty() || line.size() > 9 ||
        line.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::atoi(line.c_str());
}

// Page count as qpdf sees it, -1 when qpdf cannot open the file.
inline int QpdfPageCount(const std::string& pdf) {
    const Outcome run = RunCommand({"qpdf", "--show-npages", pdf}, kToolTimeout);
    return run.Exited(0) || run.Exited(3) ? LastNumber(run.out) : -1;
}

// "qpdf --check --show-npages": exit 0 when clean, 3 with warnings, 2 with errors.
struct QpdfCheck {
    Outcome run;
    int pages = -1;

    bool Passed() const { return run.Exited(0) || run.Exited(3); }
    bool HasWarnings() const { return run.Exited(3); }
    // The first warning or error line, for reports.
    std::string Problem() const {
        std::istringstream lines(run.err + run.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("WARNING") != std::string::npos ||
                line.find("rror") != std::string::npos) {
                return line;
            }
        }
        return run.Status();
    }
};

inline QpdfCheck CheckWithQpdf(const std::string& pdf) {
    QpdfCheck check{RunCommand({"qpdf", "--check", "--show-npages", pdf}, kToolTimeout)};
    if (check.Passed()) check.pages = LastNumber(check.run.out);
    return check;
}

// ---------------------------------------------------------------------------------------
// Rendering
//
// mutool keeps glyphs between the pages of one run, and a page can come out slightly different
// depending on what was drawn before it. So source and output pages are drawn in one run each,
// in the same order, and only the last drawing of a page that is drawn twice is compared.

// mutool page list text, order kept: "1-3,7,5".
inline std::string PageRanges(const std::vector<int>& pages) {
    std::string text;
    for (size_t i = 0; i < pages.size();) {
        size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) ++j;
        if (!text.empty()) text += ",";
        text += std::to_string(pages[i]);
        if (j > i) text += "-" + std::to_string(pages[j]);
        i = j + 1;
    }
    return text;
}

inline bool IsErrorLine(const std::string& line) {
    return line.rfind("error", 0) == 0;
}

inline std::string ErrorLine(const Outcome& run) {
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        if (IsErrorLine(line)) return line;
    }
    return run.Exited(0) ? "" : "mutool " + run.Status();
}

// Pages as one mutool run draws them at 18 dpi, by page number, and the pages whose drawing
// reports an error (found by drawing each page alone when the run reports one), with the
// first error line.
struct PageImages {
    std::map<int, std::string> images;
    std::map<int, std::string> errors;
};

inline PageImages RenderPages(const std::string& pdf, const std::vector<int>& pages,
                              const std::string& dir, const std::string& tag) {
    PageImages result;
    if (pages.empty()) return result;
    const std::string pattern = dir + "/" + tag + "-%d.pnm";
    auto draw = [&](const std::string& list) {
        return RunCommand(
            {"mutool", "draw", "-q", "-r", "18", "-F", "pnm", "-o", pattern, pdf, list},
            kToolTimeout);
    };
    const Outcome all = draw(PageRanges(pages));
    const std::set<int> unique(pages.begin(), pages.end());
    for (int page : unique) {
        const std::string image = dir + "/" + tag + "-" + std::to_string(page) + ".pnm";
        std::string bytes = ReadFile(image);
        if (!bytes.empty()) result.images[page] = std::move(bytes);
        std::error_code ignored;
        std::filesystem::remove(image, ignored);
    }
    if (ErrorLine(all).empty()) return result;
    for (int page : unique) {
        const Outcome one = draw(std::to_string(page));
        const std::string error = ErrorLine(one);
        if (!error.empty()) result.errors[page] = error;
        std::error_code ignored;
        std::filesystem::remove(dir + "/" + tag + "-" + std::to_string(page) + ".pnm", ignored);
    }
    if (result.errors.empty())
        result.errors[pages.front()] = ErrorLine(all) + " (in the whole run)";
    return result;
}

// Compares page i+1 of `output` with page sourcePages[i] of `source`, pixel for pixel. Source
// pages that draw with an error are skipped. Returns one line per difference, also for output
// pages that draw alike but with an error.
inline std::vector<std::string> CompareRendering(const std::string& source,
                                                 const std::vector<int>& sourcePages,
                                                 const std::string& output,
                                                 const std::string& dir) {
    std::vector<std::string> problems;
    std::vector<int> outputPages;
    for (size_t i = 0; i < sourcePages.size(); ++i) outputPages.push_back(static_cast<int>(i + 1));
    const PageImages from = RenderPages(source, sourcePages, dir, "source");
    const PageImages to = RenderPages(output, outputPages, dir, "output");
    for (size_t i = 0; i < sourcePages.size(); ++i) {
        const int page = static_cast<int>(i + 1);
        const int sourcePage = sourcePages[i];
        const bool drawnAgain = std::find(sourcePages.begin() + static_cast<long>(i) + 1,
                                          sourcePages.end(), sourcePage) != sourcePages.end();
        auto image = from.images.find(sourcePage);
        if (drawnAgain || from.errors.count(sourcePage) || image == from.images.end()) continue;

        const std::string where = "output page " + std::to_string(page) + " (source page " +
                                  std::to_string(sourcePage) + ")";
        auto drawn = to.images.find(page);
        if (drawn == to.images.end()) {
            auto error = to.errors.find(page);
            problems.push_back(where + " does not draw" +
                               (error == to.errors.end() ? "" : ": " + error->second));
        } else if (drawn->second != image->second) {
            problems.push_back(where + " draws differently");
        } else if (to.errors.count(page)) {
            problems.push_back(where + " draws alike but mutool reports " + to.errors.at(page));
        }
    }
    return problems;
}

}  // namespace e2e
