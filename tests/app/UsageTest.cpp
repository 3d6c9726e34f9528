// The program as a command: usage text, exit status, and the one-message report of a failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TestPdf.h"

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

struct Result {
    std::string out;
    int status = -1;
};

std::string Quote(const std::string& arg) {
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

Result RunBrantor(const std::vector<std::string>& args) {
    std::string command = Quote(BRANTOR_BINARY);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " 2>/dev/null </dev/null";
    Result r;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
    int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class Usage : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brantor-usage-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        input = dir + "/in file.pdf";
        std::ofstream(input, std::ios::binary) << testpdf::MakeSimpleDocument(3);
    }
    void TearDown() override {
        if (!dir.empty() && std::system(("rm -rf " + Quote(dir)).c_str()) != 0) {
            ADD_FAILURE() << "could not remove " << dir;
        }
    }
    std::string dir, input;
};

TEST_F(Usage, ShortCommandLinesPrintUsage) {
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{}, 0},
        {{"--help"}, 0},
        {{"-h"}, 0},
        {{"in.pdf"}, 2},
        {{"-H"}, 2},
        {{"--help", "x"}, 2},
        {{"in.pdf", "out.pdf"}, 2},
    };
    for (const auto& c : cases) {
        Result r = RunBrantor(c.args);
        EXPECT_EQ(r.out, kUsage) << c.args.size() << " arguments";
        EXPECT_EQ(r.status, c.status) << c.args.size() << " arguments";
    }
}

TEST_F(Usage, FailedRunPrintsOneMessageWithoutNewline) {
    const std::string out = dir + "/out.pdf";
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{dir + "/missing.pdf", out, "-s1"}, "File open error"},
        {{dir, out, "-s1"}, "File open error"},  // a folder opens but has no bytes
        {{input, out, "ODD"}, "Wrong program parameteres"},
        {{input, out, "-s9"}, "Page number 9 greater than 3 pages in file"},
        {{input, out, "-s1,x"}, "Invalid parameter"},
        {{input, out, "-s0s"}, "Invalid page number"},
    };
    for (const auto& c : cases) {
        Result r = RunBrantor(c.args);
        EXPECT_EQ(r.out, c.message);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_FALSE(Exists(out)) << c.message;
    }
}

TEST_F(Usage, SuccessfulRunIsSilent) {
    const std::string out = dir + "/odd pages.pdf";
    Result r = RunBrantor({input, out, "odd", "ignored extra argument"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Exists(out));
}

}  // namespace
