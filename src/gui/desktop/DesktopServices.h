#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "gui/services/WindowServices.h"

namespace grize {

// The right to be the one running instance, held while this object lives,
// and the ear for the later starts it turned away.
class InstanceClaim {
  public:
    virtual ~InstanceClaim() = default;
    // From now on `heard` runs on the GUI thread with the command line of
    // each later start that found the claim taken; before, they are dropped.
    virtual void listen(std::function<void(const std::string&)> heard) = 0;
};

// What the window services need that each desktop does its own way: Qt's
// on Linux (QtDesktopServices.cpp), the system's on Windows
// (WindowsDesktopServices.cpp), picked in CMake.
class DesktopServices {
  public:
    virtual ~DesktopServices() = default;

    // A modal box over the active window. With `yesNo` it offers Yes and No,
    // No the default, and answers true for Yes; otherwise OK only (and false).
    virtual bool showMessageBox(const Message& message, bool yesNo) = 0;
    // Opens a web address or a file's path with the desktop's program for
    // it; false when none could be started.
    virtual bool openAddress(const std::string& address) = 0;
    // Null when another process holds the claim (`otherRunning` set) or when
    // no claim can be made at all, which must not stop the user from working.
    virtual std::unique_ptr<InstanceClaim> claimSingleInstance(bool& otherRunning) = 0;
    // Hands this start's command line to the claim's holder, for the same
    // user only; gives up after a moment when the holder does not take it.
    virtual void tellClaimHolder(const std::string& commandLine) = 0;
};

// This desktop's implementation.
std::unique_ptr<DesktopServices> nativeDesktopServices();

// The family of the window's text (UTF-8): the system's own where it has one
// for dialogs, so that no system lacks it.
std::string windowFontFamily();

// Reads the system's font configuration on a thread of its own, so that the
// reading overlaps Qt's start instead of delaying the window's first text.
// Join it before the window is built. Not joinable where there is nothing to
// read ahead (FontconfigPreload.cpp or NoFontPreload.cpp, picked in CMake).
std::thread preloadFonts();

}  // namespace grize
