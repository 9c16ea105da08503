#pragma once

namespace grize {

// Screen readers should meet the main window as a dialog and the about box's
// link as a link, not as bare widgets. Once per process, before the window is
// built.
void installWindowAccessibility();

}  // namespace grize
