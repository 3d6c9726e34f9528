// A run ended by a signal (Ctrl-C, kill, a closed terminal, a closed pipe) removes its
// temporary files: the output being written, the spooled copy of standard input. Outputs
// completed before the signal stay, and the exit status is 128 + the signal number.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "E2eTools.h"
#include "TestPdf.h"

namespace {

// One run of the program: stdin a pipe that the test writes (or /dev/null), stdout and stderr
// thrown away, TMPDIR set.
class LiveRun {
public:
    LiveRun(const std::vector<std::string>& args, const std::string& tmpdir, bool pipeInput) {
        int fds[2] = {-1, -1};
        if (pipeInput && pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (pipeInput) {
            posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
        } else {
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> argv = {BRANTOR_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        std::string tmp = "TMPDIR=" + tmpdir;
        char* env[] = {tmp.data(), nullptr};
        if (posix_spawn(&pid, BRANTOR_BINARY, &actions, nullptr, pointers.data(), env) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (pipeInput) {
            close(fds[0]);
            input = fds[1];
        }
    }
    ~LiveRun() {
        if (input >= 0) close(input);
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
    }
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    bool Started() const { return pid > 0; }
    // Writes bytes to the program's standard input, which stays open.
    bool Feed(const std::string& bytes) const {
        return input >= 0 &&
               write(input, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // True while the program has not ended.
    bool Running() {
        if (pid <= 0) return false;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != pid) return true;
        Record(status);
        return false;
    }
    void Signal(int signal) const { kill(pid, signal); }
    // The exit status, -1 for a run ended by a signal.
    int Wait() {
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid) Record(status);
        return exitCode;
    }

private:
    void Record(int status) {
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid = -1;
    }

    pid_t pid = -1;
    int input = -1;
    int exitCode = -1;
};

// Names in the folder that start with prefix.
std::vector<std::string> Starting(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& name : ListDir(folder)) {
        if (name.rfind(prefix, 0) == 0) found.push_back(name);
    }
    return found;
}

// Whether the file ends as a complete output does.
bool EndsComplete(const std::string& path) {
    const std::string bytes = e2e::ReadFile(path);
    return bytes.size() > 5 && bytes.compare(bytes.size() - 5, 5, "%%EOF") == 0;
}

class Interrupt : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        source = new TempDir("interrupt-source");
        // Large enough that writing one output takes a while.
        e2e::WriteFile(*source / "big.pdf", testpdf::MakeSimpleDocument(kPages));
    }
    static void TearDownTestSuite() {
        delete source;
        source = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        std::filesystem::create_directory(dir / "out");
        std::filesystem::create_directory(dir / "tmp");
    }

    static constexpr int kPages = 20000;
    static TempDir* source;
    TempDir dir{"interrupt"};
};
TempDir* Interrupt::source = nullptr;

TEST_F(Interrupt, SignalRemovesTemporaryFilesAndKeepsFinishedOutputs) {
    const std::string big = *source / "big.pdf";
    const std::string document = e2e::ReadFile(big);
    ASSERT_FALSE(document.empty());
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
    enum Leftover { outputTemporary, chunkTemporary, inputSpool };
    const struct {
        Leftover leftover;
        std::vector<std::string> args;  // after the program, with OUT for the output folder
        std::string folder;             // where the temporary file shows: "out" or "tmp"
        std::string temporary;          // the start of its name
    } cases[] = {
        {outputTemporary,
         {big, "OUT/part.pdf", "-s1-" + std::to_string(kPages)},
         "out",
         ".brantor-"},
        {chunkTemporary, {big, "OUT/page", "-s1s"}, "out", ".brantor-"},
        {inputSpool, {"-", "OUT/part.pdf", "-s1"}, "tmp", "brantor-input-"},
    };
    for (const auto& c : cases) {
        for (int signal : signals) {
            SCOPED_TRACE(c.args[2] + " " + c.temporary + ", signal " + std::to_string(signal));
            ClearDir(dir / "out");
            std::vector<std::string> args = c.args;
            if (args[1].rfind("OUT/", 0) == 0) args[1] = dir / ("out/" + args[1].substr(4));
            // The spooled input waits for the rest of standard input, which never comes.
            LiveRun run(args, dir / "tmp", c.leftover == inputSpool);
            ASSERT_TRUE(run.Started());
            if (c.leftover == inputSpool) {
                ASSERT_TRUE(run.Feed(document.substr(0, 1 << 16)));
            }
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (Starting(dir / c.folder, c.temporary).empty() && run.Running() &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            ASSERT_TRUE(run.Running()) << "the run ended before its temporary file was seen";
            run.Signal(signal);
            EXPECT_EQ(run.Wait(), 128 + signal);
            EXPECT_EQ(ListDir(dir / "tmp"), std::vector<std::string>());
            // What stays is complete: the files of a chunk split finished before the signal.
            for (const std::string& name : ListDir(dir / "out")) {
                EXPECT_TRUE(EndsComplete(dir / ("out/" + name))) << name << " is left half written";
            }
        }
    }
}

}  // namespace
