#pragma once

#include "gui/services/Pictures.h"

// The window's padlocks: grey, and dark while a button is pressed.
namespace grize::padlocks {

extern const Picture kClosed;
extern const Picture kClosedDark;
extern const Picture kOpen;
extern const Picture kOpenDark;

}  // namespace grize::padlocks
