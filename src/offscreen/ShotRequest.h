// SPDX-License-Identifier: MIT
// What "--shot" is asked for: one view into one file, or every view in light
// and dark into a folder.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvane {

enum class ShotKind {
    settingsGeneral,
    settingsAppearance,
    settingsCover,
    settingsAccordion,
    settingsAbout,
    settingsWindow,
    onboarding1,
    onboarding2,
    onboarding3,
    onboarding4,
    coverVeil,
    coverClock,
    glyphs,
};

inline constexpr std::array<std::string_view, 13> shotNames = {"settings-general",
                                                               "settings-appearance",
                                                               "settings-cover",
                                                               "settings-accordion",
                                                               "settings-about",
                                                               "settings-window",
                                                               "onboarding-1",
                                                               "onboarding-2",
                                                               "onboarding-3",
                                                               "onboarding-4",
                                                               "cover-veil",
                                                               "cover-clock",
                                                               "glyphs"};

inline constexpr std::array<ShotKind, 13> allShotKinds = {
    ShotKind::settingsGeneral, ShotKind::settingsAppearance,
    ShotKind::settingsCover,   ShotKind::settingsAccordion,
    ShotKind::settingsAbout,   ShotKind::settingsWindow,
    ShotKind::onboarding1,     ShotKind::onboarding2,
    ShotKind::onboarding3,     ShotKind::onboarding4,
    ShotKind::coverVeil,       ShotKind::coverClock,
    ShotKind::glyphs};

std::string_view shotName(ShotKind kind);
std::optional<ShotKind> shotKind(std::string_view name);

struct ShotFile {
    ShotKind kind;
    bool dark = false;
    std::string path;
};

struct ShotRequest {
    // The files to write, in order.
    std::vector<ShotFile> files;
    // Empty when the arguments were understood; else what to print on standard
    // error, the usage text included.
    std::string error;

    static ShotRequest parse(const std::vector<std::string>& arguments);
};

std::string shotUsage();

} // namespace orvane
