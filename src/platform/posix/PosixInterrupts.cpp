#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/Interrupts.h"

namespace grize {

namespace {

// Fixed slots, so that the signal handler reads them without allocating or
// locking. A run has at most two scratch files at a time.
struct ScratchSlot {
    enum : int { Free, Filling, Ready };
    std::atomic<int> state{Free};
    int folder = -1;
    char name[64] = {};
    dev_t device = 0;
    ino_t inode = 0;
};

std::array<ScratchSlot, 16> slots;
std::atomic<void (*)()> restoreHook{nullptr};

// With a thread that waits for the interruptions, holding them back is also
// holding this lock, which that thread takes for good before it cleans up.
std::atomic<bool> waitingThread{false};
std::mutex held;

// SIGXCPU: a CPU-time limit ends the run, not the process with its scratch
// files.
constexpr std::array kInterruptions{SIGINT, SIGTERM, SIGHUP, SIGXCPU};

// A signal ignored on purpose (nohup) stays ignored.
bool ignoredOnPurpose(int signal) {
    struct sigaction previous {};
    return ::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN;
}

// A write past the file-size limit then fails with EFBIG, and the run ends
// as any failed write does, removing its scratch file; the signal would kill
// the process with partial output left on disk.
void ignoreFileSizeSignal() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGXFSZ, &action, nullptr);
}

[[noreturn]] void cleanUpAndExit(int signal) {
    for (ScratchSlot& slot : slots) {
        if (slot.state.load() != ScratchSlot::Ready) {
            continue;
        }
        struct stat st {};
        // Only the file this process made: the name may have moved on.
        if (::fstatat(slot.folder, slot.name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            st.st_dev == slot.device && st.st_ino == slot.inode) {
            ::unlinkat(slot.folder, slot.name, 0);
        }
    }
    if (void (*restore)() = restoreHook.load()) {
        restore();
    }
    ::_exit(128 + signal);
}

void holdInterruptions(bool hold) {
    // What was blocked before stays blocked afterwards.
    thread_local sigset_t before;
    thread_local std::unique_lock<std::mutex> lock(held, std::defer_lock);
    if (!hold) {
        if (lock.owns_lock()) {
            lock.unlock();
        }
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        return;
    }
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kInterruptions) {
        sigaddset(&set, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &set, &before);
    if (waitingThread.load()) {
        lock.lock();
    }
}

}  // namespace

namespace interrupts {

void markScratch(const FileHandle& folder, const std::string& name, const FileInfo& info) {
    if (name.size() >= sizeof(ScratchSlot::name)) {
        return;
    }
    for (ScratchSlot& slot : slots) {
        int expected = ScratchSlot::Free;
        if (slot.state.compare_exchange_strong(expected, ScratchSlot::Filling)) {
            slot.folder = static_cast<int>(folder.get());
            std::memcpy(slot.name, name.c_str(), name.size() + 1);
            slot.device = static_cast<dev_t>(info.device);
            slot.inode = static_cast<ino_t>(info.inode);
            slot.state.store(ScratchSlot::Ready);
            return;
        }
    }
}

void unmarkScratch(const FileHandle& folder, const std::string& name) {
    for (ScratchSlot& slot : slots) {
        if (slot.state.load() == ScratchSlot::Ready && slot.folder == folder.get() &&
            name == slot.name) {
            slot.state.store(ScratchSlot::Free);
        }
    }
}

Hold::Hold() {
    holdInterruptions(true);
}

Hold::~Hold() {
    holdInterruptions(false);
}

}  // namespace interrupts

void installInterruptCleanup(void (*restore)()) {
    restoreHook.store(restore);
    ignoreFileSizeSignal();
    struct sigaction action {};
    action.sa_handler = cleanUpAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : kInterruptions) {
        sigaddset(&action.sa_mask, signal);
    }
    for (int signal : kInterruptions) {
        if (!ignoredOnPurpose(signal)) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}

void installInterruptCleanupThread(void (*restore)()) {
    restoreHook.store(restore);
    ignoreFileSizeSignal();
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kInterruptions) {
        if (!ignoredOnPurpose(signal)) {
            sigaddset(&set, signal);
        }
    }
    // Every thread started from here on inherits the block, so only the
    // waiting thread ever takes these signals.
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    waitingThread.store(true);
    std::thread([set] {
        int signal = 0;
        ::sigwait(&set, &signal);
        held.lock();
        cleanUpAndExit(signal);
    }).detach();
}

}  // namespace grize
