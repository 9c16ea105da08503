#include "platform/SettingsFile.h"

namespace grize {

bool settingsInTextFile() {
    return true;
}

}  // namespace grize
