#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/RegistryApi.h"

namespace grize {

// ReadValue's answer: std::nullopt means "no value at all" (malformed path or
// unknown root); the text "Error" means the key or the value could not be
// read; anything else is the stored text.
using RegistryValue = std::optional<std::string>;

// Key paths are written as a user reads them,
// "HKEY_CURRENT_USER\Software\Ashgrove\Grize". Every call opens the key it
// needs and closes it before returning. None reports a status.

// Reads a value through a 255-byte buffer: texts longer than 254 characters
// give "Error", spaces at both ends are dropped. Throws RuntimeError 5 when
// nothing is left to drop the terminator from (a value with no data).
RegistryValue ReadValue(const std::string& keyPath, const std::string& valueName);
// Creates the key and any missing keys above it.
void CreateKey(const std::string& keyPath);
// Stores a string value in an existing key; a missing key is not created.
void WriteValue(const std::string& keyPath, const std::string& valueName, const std::string& value);

// Whether the value is a string of exactly `text` (REG_SZ, with its
// terminator): writing `text` would change nothing.
bool HoldsText(const std::string& keyPath, const std::string& valueName, const std::string& text);

// Checks a key path and splits it at its first "\": path keeps the subkey
// part, root gets the predefined handle. A malformed path (no "HKEY_" at the
// start, or a "\" at the end) shows "Incorrect Format:" and leaves root 0;
// an unknown root name leaves root 0 silently.
void SplitKeyPath(std::string& path, std::uint32_t& root);
// The predefined handle of an exactly matching root-key name, or 0.
std::uint32_t RootKeyFromName(const std::string& name);

// Shows the format message. The window program sets its message-box service
// here (OK button only, no icon, title "Grize"); until then nothing is shown.
void setRegistryMessageBox(std::function<void(const std::string& text)> show);
// Replaces the store the operations use; nullptr restores the platform's.
void setRegistryApi(RegistryApi* api);

}  // namespace grize
