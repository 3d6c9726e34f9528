#include "file/CPdfSignalGuard.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {
constexpr int kSlots = 8;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Written only with the signals blocked or before a slot is marked used; read by the handler.
char slotNames[kSlots][PATH_MAX];
volatile sig_atomic_t slotUsed[kSlots];

extern "C" void RemoveAndExit(int signal) {
    for (int i = 0; i < kSlots; ++i) {
        if (slotUsed[i]) unlink(slotNames[i]);
    }
    _exit(128 + signal);
}

sigset_t GuardedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    return set;
}
}  // namespace

CPdfSignalGuard::Blocker::Blocker() {
    const sigset_t set = GuardedSignals();
    sigprocmask(SIG_BLOCK, &set, &saved);
}

CPdfSignalGuard::Blocker::~Blocker() {
    sigprocmask(SIG_SETMASK, &saved, nullptr);
}

void CPdfSignalGuard::Install() {
    struct sigaction action {};
    action.sa_handler = RemoveAndExit;
    action.sa_mask = GuardedSignals();
    for (int s : kSignals) {
        struct sigaction old {};
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

int CPdfSignalGuard::Register(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slotUsed[i]) continue;
        std::memcpy(slotNames[i], name.c_str(), name.size() + 1);
        // The name is complete before the handler may read it.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slotUsed[i] = 1;
        return i;
    }
    return -1;
}

void CPdfSignalGuard::Unregister(int slot) {
    if (slot >= 0 && slot < kSlots) slotUsed[slot] = 0;
}
