#pragma once

#include "gui/settings/SettingsTargets.h"

namespace grize {

class WindowServices;

// The stored window position and check box, as the main window reaches them.
// GeneralSettings is the real store; the tests record the calls instead.
class WindowSettings {
  public:
    virtual ~WindowSettings() = default;
    virtual void LoadPosition(PositionTarget& window) = 0;
    virtual void LoadAutoquit(CheckBoxTarget& check) = 0;
    virtual void SavePosition(const PositionTarget& window) = 0;
    virtual void SaveAutoquit(const CheckBoxTarget& check) = 0;
};

class GeneralSettings final : public WindowSettings {
  public:
    // Routes the store's message box through `services` while it lives.
    explicit GeneralSettings(WindowServices& services);
    ~GeneralSettings() override;
    GeneralSettings(const GeneralSettings&) = delete;
    GeneralSettings& operator=(const GeneralSettings&) = delete;

    void LoadPosition(PositionTarget& window) override;
    void LoadAutoquit(CheckBoxTarget& check) override;
    void SavePosition(const PositionTarget& window) override;
    void SaveAutoquit(const CheckBoxTarget& check) override;

  private:
    WindowServices& services_;
};

}  // namespace grize
