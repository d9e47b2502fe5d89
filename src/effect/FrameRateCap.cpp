// SPDX-License-Identifier: MIT
#include "effect/FrameRateCap.h"

#include "core/Tuning.h"

#include <algorithm>

namespace orvane {

std::int64_t frameRateCap(ThermalState thermal, bool onACPower,
                          std::optional<std::int64_t> builtInMaxFPS) {
    if (thermal == ThermalState::serious || thermal == ThermalState::critical) {
        return Tuning::fpsThermal;
    }
    if (!onACPower || !builtInMaxFPS) {
        return Tuning::fpsBattery;
    }
    // A screen that reports no rate must still get frames.
    return std::max<std::int64_t>(*builtInMaxFPS, 1);
}

} // namespace orvane
