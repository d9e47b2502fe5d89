// SPDX-License-Identifier: MIT
// The one monotonic clock that lid samples, the gate and the display share.
#pragma once

#include <ctime>

namespace orvane {

inline double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace orvane
