// SPDX-License-Identifier: MIT
#include "system/WindowApp.h"

namespace orvane::WindowApp {

namespace {

constexpr std::string_view space = " \t\r\n";

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// An id without its ".desktop" ending, or none when empty.
std::optional<std::string> id(std::string_view text) {
    text = trimmed(text);
    if (text.ends_with(".desktop")) {
        text.remove_suffix(std::string_view(".desktop").size());
    }
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

// systemd escapes a dash inside a unit name's parts as \x2d.
std::string unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i).starts_with("\\x2d")) {
            out += '-';
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::string> fromUnit(std::string_view unit) {
    if (!unit.starts_with("app-")) {
        return std::nullopt;
    }
    unit.remove_prefix(4);
    if (unit.ends_with(".scope")) {
        unit.remove_suffix(6);
        // app[-<launcher>]-<id>-<random>.scope
        const std::size_t dash = unit.rfind('-');
        if (dash == std::string_view::npos) {
            return std::nullopt;
        }
        unit = unit.substr(0, dash);
    } else if (unit.ends_with(".service")) {
        unit.remove_suffix(8);
        // app[-<launcher>]-<id>[@<random>].service
        unit = unit.substr(0, unit.find('@'));
    } else {
        return std::nullopt;
    }
    // What remains is <launcher>-<id> or <id>; the id's own dashes are escaped.
    const std::size_t dash = unit.find('-');
    if (dash != std::string_view::npos) {
        unit.remove_prefix(dash + 1);
    }
    return id(unescaped(unit));
}

} // namespace

std::optional<std::string> fromCgroup(std::string_view cgroup) {
    while (!cgroup.empty()) {
        const std::size_t end = std::min(cgroup.find('\n'), cgroup.size());
        std::string_view path = trimmed(cgroup.substr(0, end));
        cgroup.remove_prefix(std::min(end + 1, cgroup.size()));
        // The innermost unit of the path is the app's own.
        while (!path.empty()) {
            const std::size_t slash = path.rfind('/');
            const std::string_view unit =
                slash == std::string_view::npos ? path : path.substr(slash + 1);
            if (const auto app = fromUnit(unit)) {
                return app;
            }
            if (slash == std::string_view::npos) {
                break;
            }
            path = path.substr(0, slash);
        }
    }
    return std::nullopt;
}

std::optional<std::string> fromFlatpakInfo(std::string_view info) {
    bool inApplication = false;
    while (!info.empty()) {
        const std::size_t end = std::min(info.find('\n'), info.size());
        const std::string_view line = trimmed(info.substr(0, end));
        info.remove_prefix(std::min(end + 1, info.size()));
        if (line.starts_with('[')) {
            inApplication = line == "[Application]";
        } else if (inApplication && line.starts_with("name=")) {
            return id(line.substr(5));
        }
    }
    return std::nullopt;
}

std::optional<std::string> desktopID(const Clues& clues) {
    for (const auto& direct : {clues.gtkApplicationID, clues.kdeDesktopFile}) {
        if (direct) {
            if (auto found = id(*direct)) {
                return found;
            }
        }
    }
    if (clues.cgroup) {
        if (auto found = fromCgroup(*clues.cgroup)) {
            return found;
        }
    }
    if (clues.flatpakInfo) {
        if (auto found = fromFlatpakInfo(*clues.flatpakInfo)) {
            return found;
        }
    }
    return clues.wmClass ? id(*clues.wmClass) : std::nullopt;
}

} // namespace orvane::WindowApp
