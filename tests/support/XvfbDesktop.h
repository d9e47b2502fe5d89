// SPDX-License-Identifier: MIT
// A private Xvfb with everything a Qt application on it reads pointed away
// from the user's own session: runtime and config folders in a temporary
// place, no session bus, no Wayland, the xcb platform.
#pragma once

#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"

#include <string>

namespace orvane::test {

struct XvfbDesktop {
    // `screen` as Xvfb takes it: "1512x982x24".
    explicit XvfbDesktop(const std::string& screen) : server(screen) {}

    TempDir home;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", home.path().string()};
    ScopedEnv config{"XDG_CONFIG_HOME", home.path().string()};
    ScopedEnv bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home.path() / "no-bus").string()};
    ScopedEnv wayland{"WAYLAND_DISPLAY", std::nullopt};
    ScopedEnv platform{"QT_QPA_PLATFORM", "xcb"};
    XvfbServer server;
    ScopedEnv display{"DISPLAY", server.display()};
};

} // namespace orvane::test
