#pragma once

#include "gui/settings/SettingsTargets.h"

namespace grize {

// The stored window position and "Auto quit window" state, under
// "HKEY_CURRENT_USER\Software\Ashgrove\Grize". None of these reports a
// failure: a step that fails is skipped and the next one runs. A save writes
// only the values whose stored text it changes.
void LoadPosition(PositionTarget& window);
void LoadAutoquit(CheckBoxTarget& check);
void SavePosition(const PositionTarget& window);
void SaveAutoquit(const CheckBoxTarget& check);

}  // namespace grize
