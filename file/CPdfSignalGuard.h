#pragma once

#include <signal.h>

#include <string>

// Removes the run's temporary files when a signal ends it. SIGINT, SIGTERM, SIGHUP and SIGPIPE
// remove every file registered here (the output being written, the spooled copy of standard
// input) and end the process with status 128 + the signal number; outputs already renamed into
// place stay. The names live in a fixed table, so that the handler only unlinks and exits.
class CPdfSignalGuard {
public:
    // Blocks the four signals while it lives: a file created and registered under it is never
    // left behind by a signal that arrives in between.
    class Blocker {
    public:
        Blocker();
        ~Blocker();
        Blocker(const Blocker&) = delete;
        Blocker& operator=(const Blocker&) = delete;

    private:
        sigset_t saved;
    };

    // Installs the handlers. A signal that was ignored when the program started (nohup's
    // SIGHUP, a SIGPIPE ignored by the caller) stays ignored.
    static void Install();
    // Registers a file to remove on a signal; returns its slot for Unregister, or -1 when the
    // table is full or the name too long (the file is then not removed on a signal).
    static int Register(const std::string& name);
    // Forgets the file of slot (nothing for -1), once it is renamed or removed.
    static void Unregister(int slot);
};
