#pragma once

#include <memory>
#include <string>
#include <thread>

#include "gui/services/WindowServices.h"

namespace grize {

// The pieces of the window services that each desktop does its own way:
// QtDesktopServices.cpp on Linux, WindowsDesktopServices.cpp on Windows,
// picked in CMake.

// A modal box over the active window. With `yesNo` it offers Yes and No, No
// the default, and answers true for Yes; otherwise OK only (and false).
bool showMessageBox(const Message& message, bool yesNo);

// Hands the address to the desktop's browser; failures are not reported.
void openAddress(const std::string& address);

// The right to be the one running instance, held while this object lives.
class InstanceClaim {
  public:
    virtual ~InstanceClaim() = default;
};

// Null when another process holds the claim (`otherRunning` set) or when no
// claim can be made at all, which must not stop the user from working.
std::unique_ptr<InstanceClaim> claimSingleInstance(bool& otherRunning);

// The family of the window's text; the platform substitutes its own when it
// lacks it.
const char* windowFontFamily();

// Reads the system's font configuration on a thread of its own, so that the
// reading overlaps Qt's start instead of delaying the window's first text.
// Join it before the window is built. Not joinable where there is nothing to
// read ahead (FontconfigPreload.cpp or NoFontPreload.cpp, picked in CMake).
std::thread preloadFonts();

}  // namespace grize
