#pragma once

// qpdf as an outside reader of the files that the program and the tests write.

#include <sstream>
#include <string>
#include <vector>

#include "Command.h"

namespace e2e {

// Runs "qpdf ARGS" under the tool time limit.
inline Outcome Qpdf(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"qpdf"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCommand(argv, kToolTimeout);
}

// Whether qpdf is installed: "qpdf --version" succeeds.
inline bool HaveQpdf() {
    static const bool have = Qpdf({"--version"}).Exited(0);
    return have;
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
    const Outcome run = Qpdf({"--show-npages", pdf});
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
    QpdfCheck check{Qpdf({"--check", "--show-npages", pdf})};
    if (check.Passed()) check.pages = LastNumber(check.run.out);
    return check;
}

}  // namespace e2e
