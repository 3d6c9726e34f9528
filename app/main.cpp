// brantor: cuts pages out of a PDF document and writes them into new PDF documents.
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "app/CPdfCommandLine.h"
#include "app/CPdfFileSplit.h"
#include "file/CPdfSignalGuard.h"

namespace {
const char kUsage[] =
    "Brantor version " BRANTOR_VERSION
    "\n"
    "\n"
    "Usage:\n"
    "Brantor in.pdf out.pdf [mode]\n"
    "[mode]:\n"
    "-s1,3,7-9 - will cut 1,3,7,8,9 pages into new document.\n"
    "-s5- - will cut pages from 5 to the last one into new document.\n"
    "-s10s - will create many documents, each file will contain 10 pages.\n"
    "ex: Brantor.exe in.pdf split -s10s\n"
    "split000001-000010.pdf, split000011-0000020.pdf etc.\n"
    "odd - will cut only odd pages into new document.\n"
    "even - will cut only even pages into new document.\n"
    "bookmarks - will create one document per top-level bookmark.\n"
    "ex: Brantor.exe in.pdf ch bookmarks\n"
    "ch000001-Introduction.pdf, ch000002-Getting-Started.pdf etc.\n"
    "[options], after [mode]:\n"
    "--verbose - will name each file written, on standard error.\n"
    "--password=PW - the password of an encrypted in.pdf.\n"
    "--object-streams=preserve|generate|disable - object streams in the output files: where\n"
    "in.pdf has them (the default), always, or never.\n"
    "--version - will print the version only.\n"
    "- as in.pdf reads standard input, as out.pdf writes standard output (not with -s10s or "
    "bookmarks).\n"
    "\n"
    "Notes:\n"
    "If the name of file contains space character itself,\n"
    "it must be enclosed in quotes.\n";

// Exit statuses: 0 success (or usage asked for), 1 a failed run, 2 a usage error.
enum ExitStatus { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// Prints the message of a failed run as it is, then on standard error what failed, where and
// why (on a line of its own when the message went to standard error too).
int Report(const char* message, const std::string& detail, FILE* to) {
    std::fputs(message, to);
    std::fflush(to);
    if (to == stderr) std::fputc('\n', stderr);
    std::fprintf(stderr, "brantor: %s\n", detail.empty() ? message : detail.c_str());
    return kFailure;
}
}  // namespace

int main(int argc, char** argv) {
    CPdfSignalGuard::Install();
    const CPdfCommandLine line = CPdfCommandLine::Parse(argc, argv);
    switch (line.action) {
        case CPdfCommandLine::actionHelp:
            std::fputs(kUsage, stdout);
            return kSuccess;
        case CPdfCommandLine::actionVersion:
            std::fputs("brantor " BRANTOR_VERSION "\n", stdout);
            return kSuccess;
        case CPdfCommandLine::actionUsageError:
            std::fprintf(stderr, "brantor: %s\n", line.problem.c_str());
            std::fflush(stderr);
            std::fputs(kUsage, stdout);
            return kUsageError;
        case CPdfCommandLine::actionRun:
            break;
    }
    // Standard output that carries the document does not take the message too.
    FILE* messages = CPdfCommandLine::IsStandardStream(line.outputName) ? stderr : stdout;
    try {
        auto job = std::make_unique<CPdfFileSplit>();
        job->ParseArguments(argc, argv);
        job->Run();
    } catch (const CPdfException& e) {
        return Report(e.GetMessage(), e.GetDetail(), messages);
    } catch (const std::bad_alloc&) {
        return Report(CPdfMessages::kUnexpected, "out of memory", messages);
    } catch (const std::exception& e) {
        return Report(CPdfMessages::kUnexpected, e.what(), messages);
    } catch (...) {
        return Report(CPdfMessages::kUnexpected, "", messages);
    }
    return kSuccess;
}
