#pragma once

// Helpers for tests that run the split job: a temporary folder, files, the job itself, and
// the external checkers (qpdf, mutool) when they are installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "CPdfException.h"
#include "Command.h"
#include "FileBytes.h"
#include "Qpdf.h"
#include "TempDir.h"
#include "app/CPdfFileSplit.h"

namespace splitrun {

// Names in the folder, sorted, the source "in.pdf" left out.
inline std::vector<std::string> Outputs(const TempDir& dir) {
    std::vector<std::string> names = dir.Names();
    names.erase(std::remove(names.begin(), names.end(), "in.pdf"), names.end());
    return names;
}

using e2e::ReadFile;

inline void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

// Runs one split job as the program does, with the options after MODE; "" on success, else
// the message.
inline std::string Split(const std::string& in, const std::string& out, const std::string& mode,
                         const std::string& password = "",
                         const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"brantor", in, out, mode};
    if (!password.empty()) args.push_back("--password=" + password);
    args.insert(args.end(), options.begin(), options.end());
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

// Exit status (-1 when it did not exit) and output, standard error included, of a shell
// command.
inline std::pair<int, std::string> Shell(const std::string& command) {
    const e2e::Outcome run = e2e::RunCommand({"sh", "-c", command + " 2>&1"}, e2e::kToolTimeout);
    return {run.Exited(run.exitCode) ? run.exitCode : -1, run.out};
}

// Expects "qpdf --check [OPTION] FILE" to pass without warnings (nothing when qpdf is missing).
inline void ExpectQpdfClean(const std::string& name, const std::string& option = "") {
    if (!e2e::HaveQpdf()) return;
    std::vector<std::string> args = {"--check", name};
    if (!option.empty()) args.insert(args.begin(), option);
    const e2e::Outcome run = e2e::Qpdf(args);
    EXPECT_TRUE(run.Exited(0)) << name << "\n" << run.out << run.err;
}

}  // namespace splitrun
