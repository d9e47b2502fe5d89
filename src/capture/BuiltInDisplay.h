// SPDX-License-Identifier: MIT
// Which connected screen is the laptop's own panel: the one the user named in
// the settings, else the first whose connector says it is a panel, else the
// first whose name is that of a laptop panel's connector (eDP, LVDS, DSI).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::BuiltInDisplay {

struct Screen {
    std::string name;          // the output's name, "eDP-1"
    std::string connectorType; // RandR's ConnectorType, "Panel" for a built-in one; may be empty
    int x = 0;
    int y = 0;
    int width = 0; // pixels
    int height = 0;
    double refreshRate = 0; // hertz; 0 when unknown
    bool operator==(const Screen&) const = default;
};

// `chosen` is the builtInScreen setting: a screen name, empty for automatic.
std::optional<Screen> find(const std::vector<Screen>& connected, const std::string& chosen);

// The screen's highest frame rate as the frame-rate cap reads it: whole
// frames a second, at least 1; none when unknown.
std::optional<std::int64_t> maxFPS(const Screen& screen);

} // namespace orvane::BuiltInDisplay
