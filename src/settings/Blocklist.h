// SPDX-License-Identifier: MIT
// The apps in front of which the effect pauses: the default list, the cleaning
// of a list before it is stored, matching, and the names the user sees.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvane::Blocklist {

// Presentation and video-call apps; the settings' default list, in this order.
const std::vector<std::string>& defaultBundleIDs();
const std::map<std::string, std::string, std::less<>>& defaultDisplayNames();

// Trims each entry, drops empty ones and later duplicates that differ only in
// letter case; the first spelling of each entry stays, in order.
std::vector<std::string> normalized(const std::vector<std::string>& list);
// Whole-identifier match without regard to letter case; an absent or empty
// identifier never matches.
bool contains(const std::vector<std::string>& list, const std::optional<std::string>& appID);
// The installed app's name when known, else the built-in name, else the identifier.
std::string displayName(const std::string& appID, const std::optional<std::string>& installedName);

} // namespace orvane::Blocklist
