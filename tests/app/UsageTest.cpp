// The program as a command: usage text, exit status, and the one-message report of a failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "E2eTools.h"
#include "TestPdf.h"

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

// What the program writes on standard error when that is a terminal (the far side of a
// pseudo-terminal), with standard output thrown away.
std::string RunWithTerminalErrors(const std::vector<std::string>& args) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return "no terminal";
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, slave, 2);
    posix_spawn_file_actions_addclose(&actions, master);
    std::vector<std::string> argv = {BRANTOR_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, BRANTOR_BINARY, &actions, nullptr, pointers.data(), nullptr);
    posix_spawn_file_actions_destroy(&actions);
    close(slave);
    std::string text;
    char buffer[4096];
    for (ssize_t n; spawned == 0 &&
                    ((n = read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR));) {
        if (n > 0) text.append(buffer, static_cast<size_t>(n));
    }
    close(master);
    int status = 0;
    if (spawned == 0) waitpid(pid, &status, 0);
    return text;
}

// The lines a terminal shows for a text: a carriage return goes back to the start of the
// line, where the next characters overwrite it. Trailing blanks are dropped; the last entry
// is the line the cursor is left on.
std::vector<std::string> TerminalLines(const std::string& text) {
    std::vector<std::string> lines(1);
    size_t column = 0;
    for (char c : text) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else {
            std::string& line = lines.back();
            if (column < line.size()) {
                line[column] = c;
            } else {
                line.push_back(c);
            }
            ++column;
        }
    }
    for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
    return lines;
}

class Usage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.ok());
        std::ofstream(input, std::ios::binary) << testpdf::MakeSimpleDocument(3);
    }
    TempDir folder{"usage"};
    const std::string dir = folder.path(), input = folder / "in file.pdf";
};

// A usage error says on standard error which argument could not be used, before the usage.
TEST_F(Usage, ShortCommandLinesPrintUsage) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{}, 0, ""},
        {{"--help"}, 0, ""},
        {{"-h"}, 0, ""},
        {{"in.pdf"}, 2, "brantor: missing out.pdf and MODE\n"},
        {{"-H"}, 2, "brantor: unknown option -H\n"},
        {{"--help", "x"}, 2, "brantor: --help comes after in.pdf out.pdf MODE\n"},
        {{"in.pdf", "out.pdf"}, 2, "brantor: missing MODE\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {BRANTOR_BINARY};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(argv.back());
        const e2e::Outcome run = e2e::RunCommand(argv, e2e::kProgramTimeout);
        EXPECT_EQ(run.out, kUsage);
        EXPECT_TRUE(run.Exited(c.status)) << run.Status();
        EXPECT_EQ(run.err, c.err);
    }
}

TEST_F(Usage, FailedRunPrintsOneMessageWithoutNewline) {
    const std::string out = dir + "/out.pdf";
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{dir + "/missing.pdf", out, "-s1"}, "File open error"},
        {{dir, out, "-s1"}, "File open error"},  // a folder opens but has no bytes
        {{input, out, "ODD"}, "Wrong program parameteres"},
        {{input, out, "-s9"}, "Page number 9 greater than 3 pages in file"},
        {{input, out, "-s1,x"}, "Invalid parameter"},
        {{input, out, "-s0s"}, "Invalid page number"},
        // No file of a "-g" list replaces another.
        {{input, out, "-g1,2-3,1"},
         "Two items of the list give the file name " + out + "000001.pdf"},
        {{input, dir + "/p%f.pdf", "-g1-2,1-3"},
         "Two items of the list give the file name " + dir + "/p1.pdf"},
    };
    for (const auto& c : cases) {
        Result r = RunBrantor(c.args);
        EXPECT_EQ(r.out, c.message);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_FALSE(e2e::Exists(out)) << c.message;
    }
}

// Besides the message that scripts match, standard error gets one line: what failed, the
// path involved and the reason the system or the reader gives.
TEST_F(Usage, FailureDetailSaysWhatWhereAndWhy) {
    const std::string text = dir + "/text.pdf", readOnly = dir + "/read-only.pdf";
    std::ofstream(text) << "plain text, not a PDF\n";
    std::ofstream(readOnly) << "kept\n";
    chmod(readOnly.c_str(), 0444);
    const bool root = geteuid() == 0;  // root may write a read-only file
    const struct {
        std::vector<std::string> args;  // stdin is /dev/null
        std::string message, err;
    } cases[] = {
        {{input, "/nonexistdir/o.pdf", "-s1"},
         "Output file create error",
         "brantor: cannot create /nonexistdir/o.pdf: No such file or directory\n"},
        {{input, readOnly, "-s1"},
         "Output file create error",
         root ? "" : "brantor: cannot create " + readOnly + ": Permission denied\n"},
        {{text, dir + "/o.pdf", "-s1"},
         "PDF file was damaged",
         "brantor: " + text + ": no startxref, and no catalog found by scanning\n"},
        {{"-", dir + "/o.pdf", "odd"},
         "PDF file was damaged",
         "brantor: standard input is empty\n"},
        {{dir + "/missing.pdf", dir + "/o.pdf", "-s1"},
         "File open error",
         "brantor: cannot open " + dir + "/missing.pdf: No such file or directory\n"},
        {{input, dir + "/o.pdf", "-s1-3,4"},
         "Page number 4 greater than 3 pages in file",
         "brantor: " + input + ": Page number 4 greater than 3 pages in file\n"},
    };
    for (const auto& c : cases) {
        if (c.err.empty()) continue;
        std::vector<std::string> argv = {BRANTOR_BINARY};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args[1]);
        const e2e::Outcome run = e2e::RunCommand(argv, e2e::kProgramTimeout);
        EXPECT_TRUE(run.Exited(1)) << run.Status();
        EXPECT_EQ(run.out, c.message);
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(e2e::ReadFile(readOnly), "kept\n");
}

TEST_F(Usage, SuccessfulRunIsSilent) {
    const std::string out = dir + "/odd pages.pdf";
    Result r = RunBrantor({input, out, "odd"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(e2e::Exists(out));
}

// A long run shows a progress line on a terminal, rewritten in place and cleared at the end;
// named files stay on lines of their own. Never when standard error is not a terminal.
TEST_F(Usage, ProgressLineOnlyOnATerminalAndClearedAtTheEnd) {
    const std::string many = dir + "/many.pdf";
    std::ofstream(many, std::ios::binary) << testpdf::MakeSimpleDocument(150);
    const std::string prefix = dir + "/p";
    std::vector<std::string> names;
    for (int page = 1; page <= 150; ++page) {
        char number[16];
        std::snprintf(number, sizeof number, "%06d", page);
        names.push_back(prefix + number + ".pdf");
    }
    const struct {
        std::vector<std::string> args;
        bool progress;
        std::vector<std::string> lines;
    } cases[] = {
        {{many, prefix, "-s1s"}, true, {}},
        {{many, prefix, "-s1s", "--verbose"}, true, names},
        {{many, dir + "/odd.pdf", "odd"}, false, {}},
        {{input, prefix, "-s1s"}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const std::string text = RunWithTerminalErrors(c.args);
        EXPECT_EQ(text.find(" of 150 pages, ") != std::string::npos, c.progress) << text;
        std::vector<std::string> shown = TerminalLines(text);
        EXPECT_EQ(shown.back(), "") << "the progress line is left on the screen";
        shown.pop_back();
        EXPECT_EQ(shown, c.lines);
    }
    const e2e::Outcome piped =
        e2e::RunCommand({BRANTOR_BINARY, many, prefix, "-s1s"}, e2e::kProgramTimeout);
    EXPECT_TRUE(piped.Exited(0));
    EXPECT_EQ(piped.err, "");
}

// Options come after MODE; anything else after MODE is a usage error that writes nothing.
TEST_F(Usage, OptionsAfterModeAndTheirUsageErrors) {
    const std::string out = dir + "/out.pdf";
    const std::string version = "brantor " BRANTOR_VERSION "\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
        std::vector<std::string> files;  // in the test folder, besides the source
    } cases[] = {
        {{"--version"}, 0, version, "", {}},
        {{input, out, "odd", "--version"}, 0, version, "", {}},
        {{input, out, "odd", "--verbose", "--version"}, 0, version, "", {}},
        {{input, out, "odd", "--help"}, 0, kUsage, "", {}},
        {{input, out, "odd", "--verbose"}, 0, "", out + "\n", {"out.pdf"}},
        {{input, out, "-s2-", "--password=se cret", "--verbose"}, 0, "", out + "\n", {"out.pdf"}},
        {{input, out, "odd", "--password="}, 0, "", "", {"out.pdf"}},
        {{input, dir + "/c", "-s2s", "--verbose"},
         0,
         "",
         dir + "/c000001-000002.pdf\n" + dir + "/c000003-000003.pdf\n",
         {"c000001-000002.pdf", "c000003-000003.pdf"}},
        {{input, out, "odd", "--object-streams=generate"}, 0, "", "", {"out.pdf"}},
        {{input, out, "odd", "--object-streams=disable", "--verbose"},
         0,
         "",
         out + "\n",
         {"out.pdf"}},
        {{input, out, "odd", "--object-streams=Generate"},
         2,
         kUsage,
         "brantor: unknown value in --object-streams=Generate (preserve, generate or disable)\n",
         {}},
        {{input, out, "odd", "--object-streams="},
         2,
         kUsage,
         "brantor: unknown value in --object-streams= (preserve, generate or disable)\n",
         {}},
        {{input, out, "odd", "--object-streams"},
         2,
         kUsage,
         "brantor: unknown option --object-streams\n",
         {}},
        {{input, out, "odd", "extra"}, 2, kUsage, "brantor: unexpected argument extra\n", {}},
        {{input, out, "odd", "--verbose", "extra"},
         2,
         kUsage,
         "brantor: unexpected argument extra\n",
         {}},
        {{input, out, "odd", "--verbsoe"}, 2, kUsage, "brantor: unknown option --verbsoe\n", {}},
        {{input, out, "odd", "--password"}, 2, kUsage, "brantor: unknown option --password\n", {}},
        {{input, out, "odd", "-v"}, 2, kUsage, "brantor: unknown option -v\n", {}},
        {{input, out, "odd", "--version", "--bogus"},
         2,
         kUsage,
         "brantor: unknown option --bogus\n",
         {}},
        {{input, "-", "-s2s"},
         2,
         kUsage,
         "brantor: - (standard output) cannot take the many files of -s2s\n",
         {}},
        {{input, "-", "-s1s", "--version"},
         2,
         kUsage,
         "brantor: - (standard output) cannot take the many files of -s1s\n",
         {}},
        {{"--version", "x"}, 2, kUsage, "brantor: --version comes after in.pdf out.pdf MODE\n", {}},
        {{"--verbose"}, 2, kUsage, "brantor: --verbose comes after in.pdf out.pdf MODE\n", {}},
        // --dry-run names each file and its pages, and writes nothing.
        {{input, out, "odd", "--dry-run"}, 0, out + "\t1,3\n", "", {}},
        {{input, dir + "/g", "-g3-1,2", "--dry-run", "--verbose"},
         0,
         dir + "/g000003-000001.pdf\t3-1\n" + dir + "/g000002.pdf\t2\n",
         "",
         {}},
        {{input, dir + "/p-%02d.pdf", "-s1s", "--verbose"},
         0,
         "",
         dir + "/p-01.pdf\n" + dir + "/p-02.pdf\n" + dir + "/p-03.pdf\n",
         {"p-01.pdf", "p-02.pdf", "p-03.pdf"}},
        // Malformed additions are usage errors that say what is wrong.
        {{input, out, "maxsize=10X"},
         2,
         kUsage,
         "brantor: \"maxsize=10X\": the size is a number of bytes above 0, or of K, M or G\n",
         {}},
        {{input, dir + "/g", "-g1,,2"}, 2, kUsage, "brantor: \"-g1,,2\": Invalid parameter\n", {}},
        {{input, dir + "/g", "-g0"}, 2, kUsage, "brantor: \"-g0\": Invalid page number 0\n", {}},
        {{input, "-", "-g1"},
         2,
         kUsage,
         "brantor: - (standard output) cannot take the many files of -g1\n",
         {}},
        {{input, "-", "maxsize=1M"},
         2,
         kUsage,
         "brantor: - (standard output) cannot take the many files of maxsize=1M\n",
         {}},
        {{input, out, "odd", "--level=2"},
         2,
         kUsage,
         "brantor: --level= only applies to the bookmarks mode\n",
         {}},
        {{input, dir + "/ch", "bookmarks", "--level=0"},
         2,
         kUsage,
         "brantor: --level=0: the level is a number from 1 to 1000\n",
         {}},
        {{input, dir + "/p-%x.pdf", "odd"},
         2,
         kUsage,
         "brantor: output name \"" + dir +
             "/p-%x.pdf\": \"%x\" is not a placeholder (%d, %f, %l, %t or %%)\n",
         {}},
        {{input, dir + "/p%", "odd"},
         2,
         kUsage,
         "brantor: output name \"" + dir + "/p%\": \"%\" at its end is an unfinished placeholder\n",
         {}},
        {{input, dir + "/p%03t", "bookmarks"},
         2,
         kUsage,
         "brantor: output name \"" + dir + "/p%03t\": \"%03t\" takes no width\n",
         {}},
        {{input, dir + "/p%t.pdf", "-s1s"},
         2,
         kUsage,
         "brantor: output name \"" + dir +
             "/p%t.pdf\": %t is a bookmark title, only in the bookmarks mode\n",
         {}},
        {{input, dir + "/p%%.pdf", "-s1s"},
         2,
         kUsage,
         "brantor: output name \"" + dir +
             "/p%%.pdf\": this mode writes many files: the name needs %d, %f or %l\n",
         {}},
        {{input, out, "odd", "--password-file="},
         2,
         kUsage,
         "brantor: --password-file= needs a file name (- for standard input)\n",
         {}},
        {{input, out, "odd", "--password=a", "--password-file=pw"},
         2,
         kUsage,
         "brantor: --password= and --password-file= together\n",
         {}},
        {{"-", out, "odd", "--password-file=-"},
         2,
         kUsage,
         "brantor: --password-file=- and - as in.pdf both read standard input\n",
         {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {BRANTOR_BINARY};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(argv.back());
        const e2e::Outcome run = e2e::RunCommand(argv, e2e::kProgramTimeout);
        EXPECT_TRUE(run.Exited(c.status)) << run.Status();
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        std::vector<std::string> files = c.files;
        files.push_back("in file.pdf");
        std::sort(files.begin(), files.end());
        EXPECT_EQ(folder.Names(), files);
        for (const std::string& f : c.files) std::remove((dir + "/" + f).c_str());
    }

    // A page larger than maxsize= goes alone, with a warning.
    const e2e::Outcome big =
        e2e::RunCommand({BRANTOR_BINARY, input, dir + "/m", "maxsize=1"}, e2e::kProgramTimeout);
    EXPECT_TRUE(big.Exited(0)) << big.Status();
    const std::regex warnings(
        "(Page [123] alone takes [0-9]+ bytes, more than maxsize=1; it is written alone\n){3}");
    EXPECT_TRUE(std::regex_match(big.err, warnings)) << big.err;
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in file.pdf", "m000001.pdf", "m000002.pdf",
                                                        "m000003.pdf"}));
}

}  // namespace
