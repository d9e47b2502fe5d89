// SPDX-License-Identifier: MIT
// The frame rates a live overlay asks the display for: it may run as slowly
// as `minimum` when the system is busy, and wants `preferred`.
#pragma once

#include "core/Tuning.h"

#include <algorithm>
#include <cstdint>

namespace orvane {

struct FrameRateRange {
    std::int64_t minimum = 1;
    std::int64_t maximum = 1;
    std::int64_t preferred = 1;
    bool operator==(const FrameRateRange&) const = default;
};

// Below 2 frames a second everything is 1.
constexpr FrameRateRange frameRateRange(std::int64_t fps) {
    if (fps < 2) {
        return {1, 1, 1};
    }
    return {std::min(fps, Tuning::overlayMinFrameRate), fps, fps};
}

} // namespace orvane
