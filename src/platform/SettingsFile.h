#pragma once

namespace grize {

// True where the user's settings are a text file (QSettings' native format
// on POSIX), in which an unquoted comma splits a value into a list; false
// where they are the registry (Windows), which keeps a list as a value type
// of its own, never as text.
bool settingsInTextFile();

}  // namespace grize
