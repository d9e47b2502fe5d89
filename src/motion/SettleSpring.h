// SPDX-License-Identifier: MIT
// An underdamped spring stepped by its exact solution, so the path is the same
// however a span of time is cut into frames.
#pragma once

#include "core/Tuning.h"

namespace orvane {

struct SettleSpring {
    double value = 0;
    double velocity = 0; // units per second

    // A non-finite target or step leaves the spring where it is.
    void step(double target, double dt, double omega = Tuning::settleOmega,
              double damping = Tuning::settleDamping);

    bool operator==(const SettleSpring&) const = default;
};

} // namespace orvane
