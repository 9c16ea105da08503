#pragma once

namespace grize {

// Screen readers should meet the main window as a dialog, not as a bare
// widget. Once per process, before the window is built.
void installWindowAccessibility();

}  // namespace grize
