#pragma once

#include <string_view>

namespace grize {

// The Qt platform to start on, or empty to leave the choice to Qt. Under
// Wayland a program cannot place its own window, so the stored position would
// be lost; when the session also offers an X server (XWayland) and the user
// chose no platform, the window runs there instead. Arguments are the
// environment's values, null when unset.
inline std::string_view preferredPlatform(const char* chosen, const char* sessionType,
                                          const char* waylandDisplay, const char* x11Display) {
    const auto set = [](const char* value) { return value != nullptr && *value != '\0'; };
    const bool wayland = set(waylandDisplay) ||
                         (sessionType != nullptr && std::string_view(sessionType) == "wayland");
    if (set(chosen) || !wayland || !set(x11Display)) {
        return {};
    }
    return "xcb";
}

}  // namespace grize
