#include "platform/SettingsFile.h"

namespace grize {

bool settingsInTextFile() {
    return false;
}

}  // namespace grize
