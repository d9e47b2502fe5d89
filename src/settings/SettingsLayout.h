// SPDX-License-Identifier: MIT
// The settings window's sizes, its stacking level and the sentences that
// follow the settings, as plain values the window and the tests share.
#pragma once

#include "settings/FoldSettings.h"
#include "settings/SettingsModel.h"

#include <optional>
#include <string>

namespace orvane::SettingsLayout {

inline constexpr int contentWidth = 800;
inline constexpr int sidebarWidth = 200;
inline constexpr int preferredContentHeight = 680;
inline constexpr int minContentHeight = 460;
inline constexpr int screenMargin = 40;
inline constexpr int titlebarInset = 28;
inline constexpr int detailPadding = 28;

// 680 without a usable screen height, else within 460...680, leaving the margin free.
int windowContentHeight(std::optional<double> visibleHeight);

enum class Level { normal, aboveOverlay };
// While a manual preview holds the fold, the window stays usable above the overlay.
Level windowLevel(const FoldSettings& settings);

// "The Cover shows when the lid rests between 30° and the clear angle, now 100°."
std::string coverSentence(double clearAngle);
// The line under the angle slider.
std::string angleLine(bool followsLid, const SettingsHost::SensorFacts& sensor);

} // namespace orvane::SettingsLayout
