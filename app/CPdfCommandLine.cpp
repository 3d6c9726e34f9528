#include "app/CPdfCommandLine.h"

#include <utility>

#include "app/CPdfPageList.h"

namespace {
bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

// Why a command line of fewer than three arguments cannot run; first is its first argument.
std::string MissingArguments(int argc, const std::string& first) {
    if (first.size() > 1 && first[0] == '-') {
        const bool known = first == "--version" || first == "--verbose" || IsHelp(first) ||
                           first.rfind("--password=", 0) == 0 ||
                           first.rfind("--object-streams=", 0) == 0;
        return known ? first + " comes after in.pdf out.pdf MODE" : "unknown option " + first;
    }
    return argc == 2 ? "missing out.pdf and MODE" : "missing MODE";
}

const char kPasswordOption[] = "--password=";
const char kObjectStreamsOption[] = "--object-streams=";

// The value of --object-streams=; false for an unknown one.
bool ReadObjectStreams(const std::string& value, CPdfCommandLine::ObjectStreams& out) {
    static const std::pair<const char*, CPdfCommandLine::ObjectStreams> kValues[] = {
        {"preserve", CPdfCommandLine::objectStreamsPreserve},
        {"generate", CPdfCommandLine::objectStreamsGenerate},
        {"disable", CPdfCommandLine::objectStreamsDisable}};
    for (const auto& [name, choice] : kValues) {
        if (value == name) {
            out = choice;
            return true;
        }
    }
    return false;
}
}  // namespace

CPdfCommandLine CPdfCommandLine::Parse(int argc, char** argv) {
    CPdfCommandLine line;
    if (argc <= 1 || (argc == 2 && IsHelp(argv[1]))) {
        line.action = actionHelp;
        return line;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") line.action = actionVersion;
    if (argc < 4) {
        if (line.action == actionUsageError) line.problem = MissingArguments(argc, argv[1]);
        return line;
    }
    line.inputName = argv[1];
    line.outputName = argv[2];
    line.modeText = argv[3];
    Action asked = actionRun;
    for (int i = 4; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--verbose") {
            line.verbose = true;
        } else if (option.rfind(kPasswordOption, 0) == 0) {
            line.password = option.substr(sizeof kPasswordOption - 1);
        } else if (option.rfind(kObjectStreamsOption, 0) == 0) {
            if (!ReadObjectStreams(option.substr(sizeof kObjectStreamsOption - 1),
                                   line.objectStreams)) {
                line.problem = "unknown value in " + option + " (preserve, generate or disable)";
                return line;
            }
        } else if (option == "--version" || IsHelp(option)) {
            if (asked == actionRun) asked = IsHelp(option) ? actionHelp : actionVersion;
        } else {
            line.problem = (option.size() > 1 && option[0] == '-' ? "unknown option "
                                                                  : "unexpected argument ") +
                           option;
            return line;
        }
    }
    // A chunk or bookmarks split writes many files: they cannot all go to standard output.
    const CPdfMode mode = CPdfPageList::ClassifyMode(line.modeText);
    if (IsStandardStream(line.outputName) && (mode == modeEveryN || mode == modeBookmarks)) {
        line.problem = "- (standard output) cannot take the many files of " + line.modeText;
        return line;
    }
    line.action = asked;
    return line;
}
