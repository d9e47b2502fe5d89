// SPDX-License-Identifier: MIT
#include "motion/SettleSpring.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {
constexpr double negligibleTime = 1e-9;
constexpr double maxDampingRatio = 0.999;
} // namespace

void SettleSpring::step(double target, double dt, double omega, double damping) {
    if (!(dt > negligibleTime) || !std::isfinite(dt) || !std::isfinite(target) ||
        !std::isfinite(omega) || !std::isfinite(damping)) {
        return;
    }
    const double zeta = std::clamp(damping, 0.0, maxDampingRatio);
    const double omegaD = omega * std::sqrt(1 - zeta * zeta);
    if (!(omegaD > 0)) {
        return;
    }
    double remaining = dt;
    while (remaining > negligibleTime) {
        const double h = std::min(Tuning::springMaxStep, remaining);
        const double x0 = value - target;
        const double e = std::exp(-zeta * omega * h);
        const double c = std::cos(omegaD * h);
        const double s = std::sin(omegaD * h);
        const double v0 = velocity;
        value = target + e * (x0 * c + s * (v0 + zeta * omega * x0) / omegaD);
        velocity = e * (v0 * c - s * (omega * omega * x0 + zeta * omega * v0) / omegaD);
        remaining -= h;
    }
}

} // namespace orvane
