// SPDX-License-Identifier: MIT
#include "settings/DesktopEntry.h"

#include <map>

namespace orvane {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The string escapes of the format: \s \n \t \r \\.
std::string unescaped(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += value[i];
        }
    }
    return out;
}

} // namespace

std::vector<std::string> localeCandidates(std::string_view locale) {
    if (locale.empty() || locale == "C" || locale == "POSIX") {
        return {};
    }
    std::string_view modifier;
    if (const auto at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at);
        locale = locale.substr(0, at);
    }
    locale = locale.substr(0, locale.find('.'));
    const std::string_view language = locale.substr(0, locale.find('_'));
    std::vector<std::string> out;
    const auto add = [&out](std::string candidate) {
        if (!candidate.empty() && candidate.front() != '@') {
            out.push_back(std::move(candidate));
        }
    };
    if (!modifier.empty()) {
        add(std::string(locale) + std::string(modifier));
    }
    if (locale != language) {
        add(std::string(locale));
    }
    if (!modifier.empty() && locale != language) {
        add(std::string(language) + std::string(modifier));
    }
    add(std::string(language));
    return out;
}

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text,
                                              const std::vector<std::string>& locales) {
    std::map<std::string, std::string, std::less<>> keys;
    bool inMainGroup = false;
    bool sawMainGroup = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            // Only the first group counts; actions and other groups come after it.
            if (sawMainGroup) {
                break;
            }
            inMainGroup = line == "[Desktop Entry]";
            sawMainGroup = inMainGroup;
            continue;
        }
        const auto equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos) {
            continue;
        }
        // The first of a repeated key wins.
        keys.emplace(std::string(trimmed(line.substr(0, equals))),
                     unescaped(trimmed(line.substr(equals + 1))));
    }
    const auto value = [&keys](std::string_view key) -> std::optional<std::string> {
        const auto found = keys.find(key);
        return found == keys.end() ? std::nullopt : std::optional(found->second);
    };

    std::optional<std::string> name;
    for (const std::string& locale : locales) {
        if ((name = value("Name[" + locale + "]"))) {
            break;
        }
    }
    if (!name) {
        name = value("Name");
    }
    if (!name || name->empty()) {
        return std::nullopt;
    }
    DesktopEntry entry;
    entry.name = *name;
    entry.icon = value("Icon");
    if (entry.icon && entry.icon->empty()) {
        entry.icon.reset();
    }
    entry.startupWMClass = value("StartupWMClass");
    entry.hidden = value("Hidden") == "true";
    return entry;
}

} // namespace orvane
