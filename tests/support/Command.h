#pragma once

// Runs outside programs (the built program, qpdf, mutool) for the tests.
//
// Commands are started without a shell (arguments go to the program as they are, so names
// with spaces or quotes need no quoting), read back on pipes, and killed when they run past
// their time limit. A run records the exit status or the signal that ended it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace e2e {

// Time limits, in seconds.
constexpr int kProgramTimeout = 60;
constexpr int kToolTimeout = 120;

struct Outcome {
    int exitCode = -1;  // exit status when the command exited
    int signal = 0;     // signal that ended it, else 0
    bool timedOut = false;
    bool started = false;
    std::string out;
    std::string err;

    bool Exited(int code) const { return started && !timedOut && signal == 0 && exitCode == code; }
    // "exit 1", "signal 11", "timed out", "could not start".
    std::string Status() const {
        if (!started) return "could not start";
        if (timedOut) return "timed out";
        if (signal != 0) return "signal " + std::to_string(signal);
        return "exit " + std::to_string(exitCode);
    }
};

// Runs argv[0] (looked up in PATH) with stdin from /dev/null and stdout and stderr captured;
// the command is killed after `timeoutSeconds`.
inline Outcome RunCommand(const std::vector<std::string>& argv, int timeoutSeconds) {
    Outcome run;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return run;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return run;
    }
    run.started = true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        const int ready = poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[8192];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& p : fds) {
        if (p.fd >= 0) close(p.fd);
    }
    // The pipes are closed when the command ends; a command that closed them early still
    // gets its time limit here.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, run.timedOut ? 0 : WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return run;
        if (done == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                run.timedOut = true;
                kill(pid, SIGKILL);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status) && !run.timedOut) run.signal = WTERMSIG(status);
    return run;
}

}  // namespace e2e
