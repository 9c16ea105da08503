#pragma once

namespace grize {

// On SIGINT, SIGTERM and SIGHUP: removes the scratch files marked through
// FileSystem::markScratch, runs `restore` (which must be async-signal-safe,
// e.g. to give the terminal its echo back) and exits with 128 + the signal's
// number, the status a shell reports for it.
void installInterruptCleanup(void (*restore)() = nullptr);

}  // namespace grize
