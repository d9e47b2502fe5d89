// SPDX-License-Identifier: MIT
// The names Orvane goes by on the system.
#pragma once

#include <array>
#include <string_view>

namespace orvane::AppIdentity {

inline constexpr std::string_view name = "Orvane";
// Also the desktop-entry id and the prefix of throwaway settings suites.
inline constexpr std::string_view identifier = "app.orvane.Orvane";
inline constexpr std::string_view version = ORVANE_VERSION;

// The About panel's lines, under the name.
inline constexpr std::array<std::string_view, 4> credits{
    "Folds your screen with the laptop lid.",
    "The lid sensor is undocumented; a system update can stop it.",
    "Screen frames stay in memory on this computer and are never saved or sent.",
    "Made by the Orvane team.",
};

} // namespace orvane::AppIdentity
