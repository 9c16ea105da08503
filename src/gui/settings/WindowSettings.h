#pragma once

#include "gui/settings/SettingsTargets.h"

namespace grize {

// The stored window position and check box, as the main window reaches them.
// QtWindowSettings is the real store; the tests record the calls instead.
// None of these reports a failure.
class WindowSettings {
  public:
    virtual ~WindowSettings() = default;
    // Leaves the window where it is when no position was ever stored.
    virtual void loadPosition(PositionTarget& window) = 0;
    virtual void loadAutoquit(CheckBoxTarget& check) = 0;
    // Both, as the window closes.
    virtual void save(const PositionTarget& window, const CheckBoxTarget& check) = 0;
    // The "Strong encryption (age)" box: checked only when stored so.
    virtual void loadStrong(CheckBoxTarget& check) = 0;
    virtual void saveStrong(const CheckBoxTarget& check) = 0;
};

}  // namespace grize
