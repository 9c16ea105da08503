#include "gui/desktop/DesktopServices.h"

namespace grize {

std::thread preloadFonts() {
    return {};
}

}  // namespace grize
