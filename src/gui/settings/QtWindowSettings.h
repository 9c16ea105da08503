#pragma once

#include <cstdint>

#include "gui/settings/WindowSettings.h"

namespace grize {

// The settings through QSettings (organisation "Ashgrove", application
// "Grize"): on Windows the registry key HKEY_CURRENT_USER\Software\Ashgrove\Grize
// with the string values "Left", "Top" and "Autoquit"; elsewhere
// Ashgrove/Grize.conf in the user's configuration folder. Values are decimal
// text, read with a point or the decimal separator of the process's QLocale,
// written with a point. A step that fails is skipped and the next one runs;
// a save writes only the values whose stored text it changes.
class QtWindowSettings final : public WindowSettings {
  public:
    void loadPosition(PositionTarget& window) override;
    void loadAutoquit(CheckBoxTarget& check) override;
    void loadStrong(CheckBoxTarget& check) override;
    void saveStrong(const CheckBoxTarget& check) override;
    // One write of the store, for what changed.
    void save(const PositionTarget& window, const CheckBoxTarget& check) override;

  private:
    // What the last successful reads gave; a read that gives no number keeps
    // the old one, which is how "Top" falls back to "Left".
    std::int32_t position_ = 0;
    std::int16_t autoquit_ = 0;
};

}  // namespace grize
