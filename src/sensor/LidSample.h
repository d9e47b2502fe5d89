// SPDX-License-Identifier: MIT
// One reading of the lid: the decoded angle and when it was taken.
#pragma once

namespace orvane {

struct LidSample {
    double angle = 0; // degrees of opening
    double time = 0;  // seconds on the monotonic clock, taken right after the read
    bool operator==(const LidSample&) const = default;
};

} // namespace orvane
