#pragma once

#include <cstdint>
#include <string>

#include "app/CPdfPageList.h"

// The command line: "in.pdf out.pdf MODE" followed by options, or --help, -h or --version
// alone. "-" as in.pdf is standard input, as out.pdf standard output.
class CPdfCommandLine {
public:
    // What the program is asked to do.
    enum Action { actionRun, actionHelp, actionVersion, actionUsageError };
    // --object-streams=: whether outputs pack objects into object streams: where the source
    // has them, always, or never.
    enum ObjectStreams { objectStreamsPreserve, objectStreamsGenerate, objectStreamsDisable };

    // Reads the arguments. Options come after MODE: --verbose, --dry-run, --password=PW,
    // --password-file=FILE, --decrypt, --level=N (bookmarks only),
    // --object-streams=preserve|generate|disable, --version and --help (-h); the first of the
    // last two decides the action. Fewer than three arguments (other than a lone --help, -h
    // or --version), an unknown option, an argument after MODE that is not an option, "-" as
    // the output of a mode that writes many files, and a malformed value (of an option, of a
    // "-g" list, of "maxsize=", of an output name template) make a usage error; for the
    // last ones error says what is wrong. Throws nothing.
    static CPdfCommandLine Parse(int argc, char** argv);

    // Whether a file name stands for standard input or output.
    static bool IsStandardStream(const std::string& name) { return name == "-"; }
    // Whether a mode writes many files, each named from the output name.
    static bool WritesManyFiles(CPdfMode mode) {
        return mode == modeEveryN || mode == modeBookmarks || mode == modeGroups ||
               mode == modeMaxSize;
    }

    Action action = actionUsageError;
    // With actionUsageError: the argument that could not be used and why ("unknown option --x").
    std::string error;
    std::string inputName, outputName, modeText;
    CPdfMode mode = modeNone;
    bool verbose = false;
    bool dryRun = false;       // --dry-run: name the files and their pages, write nothing
    std::string password;      // --password=
    std::string passwordFile;  // --password-file=: "-" for standard input, "" for none
    bool decrypt = false;      // --decrypt: outputs of an encrypted source are not encrypted
    uint32_t level = 1;        // --level=: the outline depth whose items start files
    uint64_t maxSize = 0;      // maxsize=: the byte limit of an output
    ObjectStreams objectStreams = objectStreamsPreserve;

private:
    // Reads one option after MODE; false (with error set where it helps) when it is not one.
    bool ReadOption(const std::string& option, Action& asked);
    // Checks what the options and the mode say together; false with error set when they clash.
    bool CheckTogether();
};
