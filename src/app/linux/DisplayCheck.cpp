// SPDX-License-Identifier: MIT
#include "app/linux/DisplayCheck.h"

#include <cstdlib>

#include <X11/Xlib.h>

namespace orvane {

namespace {

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

std::optional<std::string> displayProblem() {
    if (set("QT_QPA_PLATFORM") || set("WAYLAND_DISPLAY")) {
        return std::nullopt;
    }
    if (!set("DISPLAY")) {
        return "no display to show the application on (DISPLAY and WAYLAND_DISPLAY are unset)";
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return "cannot open the display " + std::string(std::getenv("DISPLAY"));
    }
    XCloseDisplay(display);
    return std::nullopt;
}

} // namespace orvane
