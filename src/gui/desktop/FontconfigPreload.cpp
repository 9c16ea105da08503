#include <fontconfig/fontconfig.h>

#include "gui/desktop/DesktopServices.h"

namespace grize {

// Parsing fontconfig's files is most of what the first text costs. FcInit is
// safe beside Qt's own call: the first configuration loaded is the one kept.
std::thread preloadFonts() {
    return std::thread([] { FcInit(); });
}

}  // namespace grize
