// SPDX-License-Identifier: MIT
// What the daemon and a compositor plug-in that draws the fold agree on: the
// names on the session bus and the look and frame as the flat values that
// cross it (compositor/dbus holds the interface itself). Whatever arrives is
// checked here, since any client of the session bus can call the plug-in.
#pragma once

#include "render/FoldUniforms.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvane::FoldContract {

// The plug-in owns the name and serves the object.
inline constexpr std::string_view busName = "app.orvane.Orvane.Fold";
inline constexpr std::string_view objectPath = "/app/orvane/Orvane/Fold";
// The interface name carries the major version; `Version` the minor changes within it.
inline constexpr std::string_view interfaceName = "app.orvane.Orvane.Fold1";
inline constexpr unsigned version = 1;
// The KWin effect's plug-in id.
inline constexpr std::string_view kwinEffectId = "orvanefold";

struct WireLook {
    std::string style;
    double perspective = 0;
    double blur = 0;
    double shadow = 0;
    double clearAngle = 0;
    bool reduceMotion = false;
};

struct WireFrame {
    double angle = 0;
    bool scripted = false;
    double sheetAngle = 0;
    double velocity = 0;
    double opacity = 1;
    double targetTime = 0; // seconds on CLOCK_MONOTONIC
};

WireLook toWire(const FoldLook& look);
WireFrame toWire(const FoldFrameParams& frame);
// None for an unknown style or a number that is not finite; sliders and angles are
// clamped to their ranges.
std::optional<FoldLook> lookFromWire(const WireLook& wire);
std::optional<FoldFrameParams> frameFromWire(const FoldLook& look, const WireFrame& wire);

} // namespace orvane::FoldContract
