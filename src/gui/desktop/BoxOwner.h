#pragma once

class QWidget;

namespace grize {

// The window a message box belongs over: the active one, or else the
// program's own window while another program has the keyboard. None before
// the window is shown: the box is then centred on the screen.
QWidget* messageBoxOwner();

}  // namespace grize
