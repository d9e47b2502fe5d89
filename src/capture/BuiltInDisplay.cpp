// SPDX-License-Identifier: MIT
#include "capture/BuiltInDisplay.h"

#include "core/Text.h"

#include <algorithm>
#include <cmath>

namespace orvane::BuiltInDisplay {

namespace {

bool hasPanelName(const std::string& name) {
    const std::string lower = asciiLowercased(name);
    return lower.starts_with("edp") || lower.starts_with("lvds") || lower.starts_with("dsi");
}

} // namespace

std::optional<Screen> find(const std::vector<Screen>& connected, const std::string& chosen) {
    const auto first = [&connected](auto rule) -> std::optional<Screen> {
        const auto it = std::find_if(connected.begin(), connected.end(), rule);
        return it == connected.end() ? std::nullopt : std::optional(*it);
    };
    if (!chosen.empty()) {
        // A chosen screen that is not connected means no built-in screen now,
        // not a guess at another one.
        return first([&chosen](const Screen& s) { return s.name == chosen; });
    }
    if (auto panel = first([](const Screen& s) { return s.connectorType == "Panel"; })) {
        return panel;
    }
    return first([](const Screen& s) { return hasPanelName(s.name); });
}

std::optional<std::int64_t> maxFPS(const Screen& screen) {
    if (!std::isfinite(screen.refreshRate) || screen.refreshRate <= 0) {
        return std::nullopt;
    }
    return std::max<std::int64_t>(1, std::llround(screen.refreshRate));
}

} // namespace orvane::BuiltInDisplay
