#pragma once

#include <string>

// The command line: "in.pdf out.pdf MODE" followed by options, or --help, -h or --version
// alone. "-" as in.pdf is standard input, as out.pdf standard output.
class CPdfCommandLine {
public:
    // What the program is asked to do.
    enum Action { actionRun, actionHelp, actionVersion, actionUsageError };
    // --object-streams=: whether outputs pack objects into object streams: where the source
    // has them, always, or never.
    enum ObjectStreams { objectStreamsPreserve, objectStreamsGenerate, objectStreamsDisable };

    // Reads the arguments. Options come after MODE: --verbose, --password=PW,
    // --object-streams=preserve|generate|disable, --version and --help (-h); the first of the
    // last two decides the action. An unknown --object-streams value is a usage error. Fewer than
    // three arguments (other than a lone --help, -h or --version), an unknown option, an argument
    // after MODE that is not an option, and "-" as the prefix of a chunk or bookmarks split make a
    // usage error. Throws nothing.
    static CPdfCommandLine Parse(int argc, char** argv);

    // Whether a file name stands for standard input or output.
    static bool IsStandardStream(const std::string& name) { return name == "-"; }

    Action action = actionUsageError;
    // For a usage error, the argument that could not be used and why ("unknown option --x").
    std::string problem;
    std::string inputName, outputName, modeText;
    bool verbose = false;
    std::string password;
    ObjectStreams objectStreams = objectStreamsPreserve;
};
