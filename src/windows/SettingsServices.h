// SPDX-License-Identifier: MIT
// What the settings window asks of the application.
#pragma once

#include "settings/AppCatalog.h"
#include "settings/LoginItem.h"
#include "settings/SettingsModel.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

struct SettingsServices {
    SettingsHost& host;
    LoginItemService& loginItems;
    const AppCatalog& apps;
    std::function<bool()> reduceMotion;
    // The connected screens' names, and the one found as built in (none without one).
    std::function<std::vector<std::string>()> screens;
    std::function<std::optional<std::string>()> automaticScreen;
    std::function<void()> showOnboarding;
    // Ends the program: without a tray this window is the only way to it.
    std::function<void()> quit;
    // Whether a touchpad can tick; without one its switch is not shown.
    bool hapticTrackpad = false;
};

} // namespace orvane
