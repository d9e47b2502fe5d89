// SPDX-License-Identifier: MIT
#include "sensor/AngleFilter.h"

#include "core/Tuning.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {
// Repeated or backward time stamps act as a very short step instead of
// dividing by zero.
constexpr double minimumStep = 0.0001;
} // namespace

double AngleFilter::alpha(double cutoff, double dt) {
    const double tau = 1.0 / (2.0 * std::numbers::pi * cutoff);
    return 1.0 / (1.0 + tau / dt);
}

FilteredSample AngleFilter::ingest(double angle, double time) {
    if (!std::isfinite(angle) || !std::isfinite(time)) {
        return {xHat_.value_or(0.0), dxHat_};
    }
    if (!lastTime_ || !xHat_ || !lastRaw_) {
        return start(angle, time);
    }

    const double dt = std::max(time - *lastTime_, minimumStep);

    const double rawVelocity = (angle - *lastRaw_) / dt;
    rawSpeed_ += alpha(Tuning::oneEuroSpeedCutoff, dt) * (rawVelocity - rawSpeed_);

    // The larger of the raw speed and the previous filtered velocity opens the
    // cut-off, so a sudden move is followed within a sample or two while a
    // still, noisy lid stays heavily smoothed.
    const double speed = std::max(std::abs(rawSpeed_), std::abs(dxHat_));
    const double cutoff = Tuning::oneEuroMinCutoff + Tuning::oneEuroBeta * speed;

    const double newX = *xHat_ + alpha(cutoff, dt) * (angle - *xHat_);
    const double dx = (newX - *xHat_) / dt;
    const double newDx = dxHat_ + alpha(Tuning::oneEuroDerivativeCutoff, dt) * (dx - dxHat_);

    if (!std::isfinite(newX) || !std::isfinite(newDx) || !std::isfinite(rawSpeed_)) {
        // Absurd but finite inputs can overflow; start over rather than
        // carry an infinity into every later sample.
        rawSpeed_ = 0;
        return start(angle, time);
    }
    xHat_ = newX;
    lastRaw_ = angle;
    dxHat_ = newDx;
    lastTime_ = time;
    return {newX, newDx};
}

FilteredSample AngleFilter::start(double angle, double time) {
    xHat_ = angle;
    lastRaw_ = angle;
    lastTime_ = time;
    dxHat_ = 0;
    return {angle, 0};
}

void SensorZeroTracker::ingest(double angle) {
    sampleCount_ += 1;
    if (angle != 0.0) {
        sawNonZero_ = true;
    }
}

} // namespace orvane
