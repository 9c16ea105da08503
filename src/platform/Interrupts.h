#pragma once

namespace grize {

// On SIGINT, SIGTERM, SIGHUP and SIGXCPU: removes the scratch files marked
// through FileSystem::markScratch, runs `restore` (which must be
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
