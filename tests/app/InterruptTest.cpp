// A run ended by a signal (Ctrl-C, kill, a closed terminal, a closed pipe) removes its
// temporary files: the output being written, the spooled copy of standard input. Outputs
// completed before the signal stay, and the exit status is 128 + the signal number.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "E2eTools.h"
#include "TestPdf.h"

namespace {

// Whether the file ends as a complete output does.
bool EndsComplete(const std::string& path) {
    const std::string bytes = e2e::ReadFile(path);
    return bytes.size() > 5 && bytes.compare(bytes.size() - 5, 5, "%%EOF") == 0;
}

TEST(Interrupt, SignalRemovesTemporaryFilesAndKeepsFinishedOutputs) {
    TempDir dir("interrupt");
    ASSERT_TRUE(dir.ok());
    // Large enough that writing one output takes a while. The sanitizers slow the program down
    // about tenfold, so a sanitized build takes a tenth of the pages (reading the rest would
    // only add to the wait before the temporary file shows).
    const int pages = BRANTOR_SANITIZED ? 2000 : 20000;
    ASSERT_TRUE(e2e::WriteFile(dir / "big.pdf", testpdf::MakeSimpleDocument(pages)));
    // Each command starts the program in the background as $pid (bash with job control, so that
    // it does not ignore SIGINT), with $O the output folder and $T its $TMPDIR; the signal
    // follows as soon as the temporary file shows.
    const struct {
        std::string start, watch;
    } cases[] = {
        {R"("$B" "$D/big.pdf" "$O/part.pdf" -s1-)" + std::to_string(pages) + " & pid=$!",
         R"($O/.brantor-*)"},
        {R"("$B" "$D/big.pdf" "$O/page" -s1s & pid=$!)", R"($O/.brantor-*)"},
        // Standard input: the start of the document through a named pipe that stays open.
        {R"(mkfifo "$D/in"; "$B" - "$O/part.pdf" -s1 < "$D/in" & pid=$!
            exec 3> "$D/in"; head -c 65536 "$D/big.pdf" >&3)",
         R"($T/brantor-input-*)"},
    };
    for (const auto& c : cases) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
            SCOPED_TRACE(c.watch + ", signal " + std::to_string(signal));
            std::filesystem::remove(dir / "in");
            for (const char* folder : {"out", "tmp"}) {
                std::filesystem::remove_all(dir / folder);
                std::filesystem::create_directory(dir / folder);
            }
            const std::string script =
                "set -m; B='" BRANTOR_BINARY "' D='" + dir.path() + "' O='" + dir / "out" +
                "' T='" + dir / "tmp" + "'; export TMPDIR=\"$T\"\n" + c.start + "\nuntil set -- " +
                c.watch + "; [ -e \"$1\" ]; do kill -0 $pid 2>/dev/null || exit 99; done\nkill -" +
                std::to_string(signal) + " $pid; wait $pid";
            const e2e::Outcome run = e2e::RunCommand({"bash", "-c", script}, e2e::kProgramTimeout);
            ASSERT_FALSE(run.Exited(99)) << "the run ended before its temporary file showed";
            EXPECT_TRUE(run.Exited(128 + signal)) << run.Status();
            EXPECT_EQ(ListDir(dir / "tmp"), std::vector<std::string>());
            // What stays is complete: the files of a chunk split finished before the signal.
            for (const std::string& name : ListDir(dir / "out")) {
                EXPECT_TRUE(EndsComplete(dir / ("out/" + name))) << name << " is left half written";
            }
        }
    }
}

}  // namespace
