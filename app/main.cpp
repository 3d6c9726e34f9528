// brantor: cuts pages out of a PDF document and writes them into new PDF documents.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "app/CPdfFileSplit.h"

namespace {
const char kUsage[] =
    "Brantor version 1.00\n"
    "\n"
    "Usage:\n"
    "Brantor in.pdf out.pdf [mode]\n"
    "[mode]:\n"
    "-s1,3,7-9 - will cut 1,3,7,8,9 pages into new document.\n"
    "-s10s - will create many documents, each file will contain 10 pages.\n"
    "ex: Brantor.exe in.pdf split -s10s\n"
    "split000001-000010.pdf, split000011-0000020.pdf etc.\n"
    "odd - will cut only odd pages into new document.\n"
    "even - will cut only even pages into new document.\n"
    "\n"
    "Notes:\n"
    "If the name of file contains space character itself,\n"
    "it must be enclosed in quotes.\n";

// Exit statuses: 0 success (or usage asked for), 1 a failed run, 2 a usage error.
enum ExitStatus { kSuccess = 0, kFailure = 1, kUsageError = 2 };

int Report(const char* message) {
    std::fputs(message, stdout);
    std::fflush(stdout);
    return kFailure;
}
}  // namespace

int main(int argc, char** argv) {
    // "--password=PW" or "--password PW", anywhere: the source's user or owner password.
    std::string password;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (i > 0 && !std::strncmp(arg, "--password=", 11)) {
            password = arg + 11;
        } else if (i > 0 && !std::strcmp(arg, "--password") && i + 1 < argc) {
            password = argv[++i];
        } else {
            args.push_back(argv[i]);
        }
    }
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    if (argc == 1) {
        std::fputs(kUsage, stdout);
        return kSuccess;
    }
    if (argc < 4) {
        std::fputs(kUsage, stdout);
        bool help = argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"));
        return help ? kSuccess : kUsageError;
    }
    try {
        auto job = std::make_unique<CPdfFileSplit>();
        job->password = password;
        job->ParseArguments(argc, argv);
        job->Run();
    } catch (const CPdfException& e) {
        return Report(e.GetMessage());
    } catch (...) {
        return Report("Unexpected exception");
    }
    return kSuccess;
}
