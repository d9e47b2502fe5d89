// SPDX-License-Identifier: MIT
// Turns filtered lid samples into the accordion's controls: the lid angle picks
// the chord zone, the motion's direction the bellows direction, its speed the
// pressure, and quick reversals a tremolo. Main thread only.
#pragma once

#include "accordion/AccordionParams.h"

#include <cstdint>
#include <optional>

namespace orvane {

struct AccordionModel {
    static constexpr std::int64_t zoneCount = 6;

    std::int64_t zone = -1;     // -1 until the first sample places it
    std::int32_t direction = 0; // -1 push, +1 pull, 0 none yet
    std::optional<double> lastAngle;
    std::optional<double> lastTime;
    double shake = 0; // 0...1

    // The zone of `angle` without hysteresis, for the first placement.
    static std::int64_t rawZone(double angle);
    // The zone of `angle` seen from `current`: a zone holds within two degrees
    // beyond either of its edges. A NaN angle keeps the current zone.
    static std::int64_t zoneForAngle(double angle, std::int64_t current);

    // One lid sample (degrees, signed degrees per second with negative closing,
    // seconds). A sample with a non-finite part is ignored and writes nothing.
    void update(double angle, double velocity, double time, AccordionParams& params);

    bool operator==(const AccordionModel&) const = default;
};

} // namespace orvane
