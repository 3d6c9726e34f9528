#pragma once

// Helpers for tests that run the split job: a temporary folder, files, the job itself, and
// the external checkers (qpdf, mutool) when they are installed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "CPdfException.h"
#include "app/CPdfFileSplit.h"

namespace splitrun {

// A folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/brantor-split-XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // Names in the folder, sorted, the source "in.pdf" left out.
    std::vector<std::string> Outputs() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path)) {
            if (e.path().filename() != "in.pdf") names.push_back(e.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string path;
};

inline std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

// Runs one split job as the program does; "" on success, else the message.
inline std::string Split(const std::string& in, const std::string& out, const std::string& mode,
                         const std::string& password = "") {
    std::vector<std::string> args = {"brantor", in, out, mode};
    if (!password.empty()) args.push_back("--password=" + password);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    try {
        CPdfFileSplit job;
        job.ParseArguments(static_cast<int>(argv.size()), argv.data());
        job.Run();
    } catch (const CPdfException& e) {
        return e.GetMessage();
    }
    return "";
}

inline bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Exit status and output of a shell command.
inline std::pair<int, std::string> Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, out};
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

inline void ExpectQpdfClean(const std::string& name, const std::string& options = "") {
    if (!HaveTool("qpdf")) return;
    auto [status, text] = Shell("qpdf --check " + options + " '" + name + "'");
    EXPECT_EQ(status, 0) << name << "\n" << text;
}

}  // namespace splitrun
