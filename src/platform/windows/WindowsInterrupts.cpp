#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <list>
#include <mutex>

#include "platform/Interrupts.h"
#include "platform/windows/WindowsFileSystem.h"

namespace grize {

namespace {

// Ctrl+C and closing the console arrive on a thread of their own, which may
// lock and allocate; holding interruptions back is holding this lock.
struct Scratch {
    std::wstring folder;
    std::string name;
    std::wstring path;
    FileInfo info;
};
std::recursive_mutex held;
std::mutex scratchMutex;
std::list<Scratch> scratch;
std::atomic<void (*)()> restoreHook{nullptr};

BOOL WINAPI onInterrupt(DWORD event) {
    held.lock();
    {
        const std::lock_guard lock(scratchMutex);
        WindowsFileSystem fs;
        for (const Scratch& file : scratch) {
            try {
                // Only the file this process made: the name may have moved on.
                if (fs.linkStatus(narrow(file.path)).sameFileAs(file.info)) {
                    ::DeleteFileW(file.path.c_str());
                }
            } catch (...) {
            }
        }
    }
    if (void (*restore)() = restoreHook.load()) {
        restore();
    }
    ::ExitProcess(event == CTRL_C_EVENT ? 128 + 2 : 128 + 15);
}

}  // namespace

namespace interrupts {

void markScratch(const FileHandle& folder, const std::string& name, const FileInfo& info) {
    std::wstring base = WindowsFileSystem::folderPath(folder);
    std::wstring path = base + L'\\' + widen(name);
    const std::lock_guard lock(scratchMutex);
    scratch.push_back({std::move(base), name, std::move(path), info});
}

void unmarkScratch(const FileHandle& folder, const std::string& name) {
    const std::wstring base = WindowsFileSystem::folderPath(folder);
    const std::lock_guard lock(scratchMutex);
    scratch.remove_if(
        [&](const Scratch& file) { return file.folder == base && file.name == name; });
}

Hold::Hold() {
    held.lock();
}

Hold::~Hold() {
    held.unlock();
}

}  // namespace interrupts

void installInterruptCleanup(void (*restore)()) {
    restoreHook.store(restore);
    ::SetConsoleCtrlHandler(onInterrupt, TRUE);
}

// Console events always come on a thread of their own here.
void installInterruptCleanupThread(void (*restore)()) {
    installInterruptCleanup(restore);
}

}  // namespace grize
