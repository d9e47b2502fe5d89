// SPDX-License-Identifier: MIT
#include "cover/CoverMode.h"

#include "core/Text.h"

namespace orvane {

namespace {

struct CoverEntry {
    std::string_view raw;
    std::string_view name;
    std::string_view summary;
    std::string_view settingsLine;
};

const std::array<CoverEntry, 3> covers{{
    {"off", "Off", "No cover. The desktop stays visible.",
     "No cover. Windows come back when the lid rests."},
    {"veil", "Veil", "Frost over the frozen screen.", "A frosted screen, with a small clock."},
    {"clock", "Clock", "A large clock over the frozen screen.",
     "The time and date, in large type, over a dark blur."},
}};

const CoverEntry& entry(CoverMode mode) {
    return covers[static_cast<std::size_t>(mode)];
}

} // namespace

std::string_view rawValue(CoverMode mode) {
    return entry(mode).raw;
}

std::string_view displayName(CoverMode mode) {
    return entry(mode).name;
}

std::string_view summary(CoverMode mode) {
    return entry(mode).summary;
}

std::string_view settingsLine(CoverMode mode) {
    return entry(mode).settingsLine;
}

std::optional<CoverMode> coverModeFromRaw(std::string_view raw) {
    for (CoverMode mode : allCoverModes) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

std::optional<CoverMode> migratingCoverMode(std::string_view stored) {
    const std::string lower = asciiLowercased(stored);
    if (lower == "frost") {
        return CoverMode::veil;
    }
    return coverModeFromRaw(lower);
}

} // namespace orvane
