#include "app/CPdfCommandLine.h"

#include <utility>

#include "app/CPdfNameTemplate.h"

namespace {
bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

// Why a command line of fewer than three arguments cannot run; first is its first argument.
std::string MissingArguments(int argc, const std::string& first) {
    if (first.size() > 1 && first[0] == '-') {
        const bool known = first == "--version" || first == "--verbose" || IsHelp(first) ||
                           (first.rfind("--", 0) == 0 && first.find('=') != std::string::npos);
        return known ? first + " comes after in.pdf out.pdf MODE" : "unknown option " + first;
    }
    return argc == 2 ? "missing out.pdf and MODE" : "missing MODE";
}

const char kPasswordOption[] = "--password=";
const char kPasswordFileOption[] = "--password-file=";
const char kObjectStreamsOption[] = "--object-streams=";
const char kLevelOption[] = "--level=";
// Outline depths beyond this are refused (the outline reader stops far earlier).
const uint32_t kMaxLevel = 1000;

bool StartsWith(const std::string& text, const char* prefix, std::string& rest) {
    const std::string p(prefix);
    if (text.rfind(p, 0) != 0) return false;
    rest = text.substr(p.size());
    return true;
}

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

// A level of 1 to kMaxLevel in plain decimal digits; 0 for anything else.
uint32_t ReadLevel(const std::string& value) {
    if (value.empty() || value.size() > 4) return 0;
    uint32_t level = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return 0;
        level = level * 10 + static_cast<uint32_t>(c - '0');
    }
    return level <= kMaxLevel ? level : 0;
}
}  // namespace

bool CPdfCommandLine::ReadOption(const std::string& option, Action& asked) {
    std::string value;
    if (option == "--verbose") {
        verbose = true;
    } else if (option == "--dry-run") {
        dryRun = true;
    } else if (option == "--decrypt") {
        decrypt = true;
    } else if (StartsWith(option, kPasswordOption, value)) {
        password = value;
    } else if (StartsWith(option, kPasswordFileOption, value)) {
        if (value.empty()) {
            error = "--password-file= needs a file name (- for standard input)";
            return false;
        }
        passwordFile = value;
    } else if (StartsWith(option, kLevelOption, value)) {
        level = ReadLevel(value);
        if (level == 0) {
            error = "--level=" + value + ": the level is a number from 1 to " +
                    std::to_string(kMaxLevel);
            return false;
        }
    } else if (StartsWith(option, kObjectStreamsOption, value)) {
        if (ReadObjectStreams(value, objectStreams)) return true;
        error = "unknown value in " + option + " (preserve, generate or disable)";
        return false;
    } else if (option == "--version" || IsHelp(option)) {
        if (asked == actionRun) asked = IsHelp(option) ? actionHelp : actionVersion;
    } else {
        error =
            (option.size() > 1 && option[0] == '-' ? "unknown option " : "unexpected argument ") +
            option;
        return false;
    }
    return true;
}

bool CPdfCommandLine::CheckTogether() {
    const bool many = WritesManyFiles(mode);
    // Many files cannot all go to standard output.
    if (IsStandardStream(outputName) && many) {
        error = "- (standard output) cannot take the many files of " + modeText;
        return false;
    }
    if (mode == modeGroups) {
        const std::string problem = CPdfPageList::SyntaxError(modeText);
        if (!problem.empty()) {
            error = "\"" + modeText + "\": " + problem;
            return false;
        }
    }
    if (mode == modeMaxSize) {
        maxSize = CPdfPageList::ReadMaxSize(modeText);
        if (maxSize == 0) {
            error = "\"" + modeText + "\": the size is a number of bytes above 0, or of K, M or G";
            return false;
        }
    }
    if (level != 1 && mode != modeBookmarks) {
        error = "--level= only applies to the bookmarks mode";
        return false;
    }
    if (!password.empty() && !passwordFile.empty()) {
        error = "--password= and --password-file= together";
        return false;
    }
    if (IsStandardStream(passwordFile) && IsStandardStream(inputName)) {
        error = "--password-file=- and - as in.pdf both read standard input";
        return false;
    }
    if (!IsStandardStream(outputName) && CPdfNameTemplate::IsTemplate(outputName)) {
        error = CPdfNameTemplate::Check(outputName, many, mode == modeBookmarks);
        if (!error.empty()) return false;
    }
    return true;
}

CPdfCommandLine CPdfCommandLine::Parse(int argc, char** argv) {
    CPdfCommandLine line;
    if (argc <= 1 || (argc == 2 && IsHelp(argv[1]))) {
        line.action = actionHelp;
        return line;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") line.action = actionVersion;
    if (argc < 4) {
        if (line.action == actionUsageError) line.error = MissingArguments(argc, argv[1]);
        return line;
    }
    line.inputName = argv[1];
    line.outputName = argv[2];
    line.modeText = argv[3];
    line.mode = CPdfPageList::ClassifyMode(line.modeText);
    Action asked = actionRun;
    for (int i = 4; i < argc; ++i) {
        if (!line.ReadOption(argv[i], asked)) return line;
    }
    if (!line.CheckTogether()) return line;
    line.action = asked;
    return line;
}
