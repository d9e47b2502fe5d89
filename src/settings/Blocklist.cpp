// SPDX-License-Identifier: MIT
#include "settings/Blocklist.h"

#include "core/Text.h"

#include <array>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace orvane::Blocklist {

namespace {

// ASCII white space and line breaks, then the common Unicode spaces in UTF-8.
// Only whole sequences are matched: a lead byte never occurs inside another
// character, so trimming at either end cannot cut a character in two.
constexpr std::array<std::string_view, 25> spaces{
    " ",      "\t",     "\n",     "\v",     "\f",     "\r",     "\u0085", "\u00A0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008",
    "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000",
};

std::size_t leadingSpaceLength(std::string_view text) {
    for (std::string_view space : spaces) {
        if (text.starts_with(space)) {
            return space.size();
        }
    }
    return 0;
}

std::size_t trailingSpaceLength(std::string_view text) {
    for (std::string_view space : spaces) {
        if (text.ends_with(space)) {
            return space.size();
        }
    }
    return 0;
}

std::string trimmed(std::string_view text) {
    while (const std::size_t n = leadingSpaceLength(text)) {
        text.remove_prefix(n);
    }
    while (const std::size_t n = trailingSpaceLength(text)) {
        text.remove_suffix(n);
    }
    return std::string(text);
}

} // namespace

// Desktop-entry ids of the presentation and video-call apps, as their Debian
// packages and Flatpaks install them. Webex is left out: its Linux client's id
// could not be confirmed.
const std::vector<std::string>& defaultBundleIDs() {
    static const std::vector<std::string> ids{
        "libreoffice-impress", "org.libreoffice.LibreOffice.impress",      "Zoom", "us.zoom.Zoom",
        "teams-for-linux",     "com.github.IsmaelMartinez.teams_for_linux"};
    return ids;
}

const std::map<std::string, std::string, std::less<>>& defaultDisplayNames() {
    static const std::map<std::string, std::string, std::less<>> names{
        {"libreoffice-impress", "LibreOffice Impress"},
        {"org.libreoffice.LibreOffice.impress", "LibreOffice Impress"},
        {"Zoom", "Zoom"},
        {"us.zoom.Zoom", "Zoom"},
        {"teams-for-linux", "Microsoft Teams"},
        {"com.github.IsmaelMartinez.teams_for_linux", "Microsoft Teams"},
    };
    return names;
}

std::vector<std::string> normalized(const std::vector<std::string>& list) {
    std::vector<std::string> result;
    std::unordered_set<std::string> seen;
    for (const std::string& entry : list) {
        std::string clean = trimmed(entry);
        if (!clean.empty() && seen.insert(asciiLowercased(clean)).second) {
            result.push_back(std::move(clean));
        }
    }
    return result;
}

bool contains(const std::vector<std::string>& list, const std::optional<std::string>& appID) {
    if (!appID || appID->empty()) {
        return false;
    }
    const std::string wanted = asciiLowercased(*appID);
    for (const std::string& entry : list) {
        if (asciiLowercased(entry) == wanted) {
            return true;
        }
    }
    return false;
}

std::string displayName(const std::string& appID, const std::optional<std::string>& installedName) {
    if (installedName && !installedName->empty()) {
        return *installedName;
    }
    const auto& names = defaultDisplayNames();
    if (const auto found = names.find(appID); found != names.end()) {
        return found->second;
    }
    return appID;
}

} // namespace orvane::Blocklist
