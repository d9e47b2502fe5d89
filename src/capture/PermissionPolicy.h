// SPDX-License-Identifier: MIT
// Decides when the screen-recording permission is asked of the system again and
// when the cached answer is reused, so the costly query stays off the frame path.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace orvane {

struct PermissionPolicy {
    bool granted = false;
    std::optional<double> checkedAt; // seconds on the system uptime clock
    std::int64_t queries = 0;

    // Whether screen recording may be used for this step. `mayStartFold` says
    // that the step could start a fold; `preflight` asks the system and never prompts.
    bool grant(double now, bool mayStartFold, const std::function<bool()>& preflight);
    // Asks the system whatever the cache holds.
    bool refresh(double now, const std::function<bool()>& preflight);

    bool operator==(const PermissionPolicy&) const = default;
};

} // namespace orvane
