#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace grize {

// On SIGINT, SIGTERM, SIGHUP and SIGXCPU: removes the scratch files marked
// through interrupts::markScratch, runs `restore` (which must be
// async-signal-safe, e.g. to give the terminal its echo back) and exits with
// 128 + the signal's number, the status a shell reports for it. SIGXFSZ is
// ignored, so that a write past the file-size limit fails as an error of the
// run instead of ending the process.
void installInterruptCleanup(void (*restore)() = nullptr);

// The same for a program with threads: the signals are taken on a thread of
// their own, never while another thread holds interruptions back. Call it
// first in main, before any other thread starts.
void installInterruptCleanupThread(void (*restore)() = nullptr);

}  // namespace grize

// What the clean-up removes, and when it may not land.
namespace grize::interrupts {

// Scratch files named here are removed if the process is interrupted while
// they carry this identity. `folder` is a folder handle of this platform's
// file system (FileSystem::openFolder).
void markScratch(const FileHandle& folder, const std::string& name, const FileInfo& info);
void unmarkScratch(const FileHandle& folder, const std::string& name);

// Holds those interruptions back on this thread while it lives, so that none
// lands between making a scratch file and marking it. Not nested.
class Hold {
  public:
    Hold();
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
};

}  // namespace grize::interrupts
