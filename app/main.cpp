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
    "-s9-5 - will cut pages 9,8,7,6,5 into new document.\n"
    "-s10s - will create many documents, each file will contain 10 pages.\n"
    "ex: Brantor.exe in.pdf split -s10s\n"
    "split000001-000010.pdf, split000011-0000020.pdf etc.\n"
    "odd - will cut only odd pages into new document.\n"
    "even - will cut only even pages into new document.\n"
    "bookmarks - will create one document per top-level bookmark.\n"
    "ex: Brantor.exe in.pdf ch bookmarks\n"
    "ch000001-Introduction.pdf, ch000002-Getting-Started.pdf etc.\n"
    "-g1-3,4-10,11- - will create one document per item of the list.\n"
    "ex: Brantor.exe in.pdf part -g1-3,4-10\n"
    "part000001-000003.pdf, part000004-000010.pdf\n"
    "maxsize=10M - will create documents of consecutive pages, each at most 10 MB\n"
    "(a size in bytes, or with K, M or G).\n"
    "out.pdf with % is a name template: %d the file's number, %f its first page,\n"
    "%l its last page, %t its bookmark title, %% a %; %03d pads to three digits.\n"
    "ex: Brantor.exe in.pdf page-%03d.pdf -s1s\n"
    "page-001.pdf, page-002.pdf etc.\n"
    "[options], after [mode]:\n"
    "--verbose - will name each file written, on standard error.\n"
    "--level=N - bookmarks down to outline level N start documents (default 1).\n"
    "--dry-run - will print each file name, a tab and its pages, and write nothing.\n"
    "--password=PW - the password of an encrypted in.pdf.\n"
    "--password-file=FILE - reads the password from the first line of FILE (- for standard\n"
    "input), so that it is not in the process list.\n"
    "--decrypt - will write the documents of an encrypted in.pdf without encryption.\n"
    "--object-streams=preserve|generate|disable - object streams in the output files: where\n"
    "in.pdf has them (the default), always, or never.\n"
    "--version - will print the version only.\n"
    "- as in.pdf reads standard input, as out.pdf writes standard output (not with -s10s, -g,\n"
    "maxsize= or bookmarks).\n"
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
            // The argument that could not be used, before the usage text.
            std::fprintf(stderr, "brantor: %s\n", line.error.c_str());
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
        job->ParseArguments(line);
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
