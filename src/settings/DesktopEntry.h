// SPDX-License-Identifier: MIT
// The parts of a freedesktop desktop entry that name and draw an application.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct DesktopEntry {
    std::string name;
    std::optional<std::string> icon;
    std::optional<std::string> startupWMClass;
    bool hidden = false; // Hidden=true: the entry counts as deleted
    bool operator==(const DesktopEntry&) const = default;
};

// Locale names to try for localized keys, most specific first, from a POSIX
// locale such as "de_DE.UTF-8@euro": de_DE@euro, de_DE, de@euro, de.
std::vector<std::string> localeCandidates(std::string_view locale);

// None when the text has no [Desktop Entry] group with a name.
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text,
                                              const std::vector<std::string>& locales);

} // namespace orvane
