// SPDX-License-Identifier: MIT
// What the screen shows while the lid rests half closed.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace orvane {

enum class CoverMode { off, veil, clock };

inline constexpr std::array<CoverMode, 3> allCoverModes{CoverMode::off, CoverMode::veil,
                                                        CoverMode::clock};

std::string_view rawValue(CoverMode mode);
std::string_view displayName(CoverMode mode);
// The menu's line.
std::string_view summary(CoverMode mode);
// The settings window's line.
std::string_view settingsLine(CoverMode mode);

// Exact raw value only.
std::optional<CoverMode> coverModeFromRaw(std::string_view raw);
// A stored value in any letter case, including the earlier name of the veil.
std::optional<CoverMode> migratingCoverMode(std::string_view stored);

} // namespace orvane
