// SPDX-License-Identifier: MIT
// The clocks the adapters hand to the core: the one monotonic clock that lid
// samples, the gate and the display share; the uptime the permission policy
// and the capture's retry window count on (it runs through sleep); the wall
// clock of the manual preview's idle rule.
#pragma once

#include <ctime>

namespace orvane {

inline double secondsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

inline double monotonicSeconds() {
    return secondsOf(CLOCK_MONOTONIC);
}

inline double uptimeSeconds() {
    return secondsOf(CLOCK_BOOTTIME);
}

inline double wallSeconds() {
    return secondsOf(CLOCK_REALTIME);
}

} // namespace orvane
