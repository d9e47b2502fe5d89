// SPDX-License-Identifier: MIT
#include "motion/FoldAnimator.h"

#include "core/Tuning.h"
#include "motion/FoldMath.h"
#include "motion/SettleSpring.h"
#include "sensor/AngleFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {
constexpr double negligibleTime = 1e-9;
// Floating-point rounding can leave a window edge a hair after the sub-step
// that was cut to it; this floor keeps such a sliver from stalling the loop.
constexpr double shortestEdgeCut = 1e-6;
constexpr double restSnapAngle = 0.001;
constexpr double restSnapSpeed = 0.01;
// Ramps shorter than this share of a full fade would look like a pop.
constexpr double shortestRampShare = 1.0 / 3.0;
} // namespace

void FoldAnimator::ingest(double angle, double time) {
    if (!std::isfinite(angle) || !std::isfinite(time)) {
        return;
    }
    if (!isPrimed_) {
        isPrimed_ = true;
        targetAngle_ = angle;
        targetVelocity_ = 0;
        targetTime_ = time;
        angle_ = angle;
        velocity_ = 0;
        return;
    }

    // Backlash: the target only moves once a sample leaves the band around it,
    // and then trails it by the band, so noise at rest never reaches the sheet.
    const double newTarget =
        angle - std::clamp(angle - targetAngle_, -Tuning::animRestBand, Tuning::animRestBand);
    const double step = newTarget - targetAngle_;
    const double gap = time - targetTime_;
    if (gap > Tuning::animMaxGap || std::abs(step) > Tuning::animJumpReset) {
        // Stale or jumped targets say nothing about where the lid is heading.
        targetVelocity_ = 0;
    } else if (gap > 0) {
        targetVelocity_ +=
            AngleFilter::alpha(Tuning::animVelocityCutoff, gap) * (step / gap - targetVelocity_);
        if (!std::isfinite(targetVelocity_)) {
            targetVelocity_ = 0;
        }
    }
    if (gap >= 0) {
        targetTime_ = time;
    }
    targetAngle_ = newTarget;
}

void FoldAnimator::setTarget(double angle, double time) {
    if (!std::isfinite(angle) || !std::isfinite(time)) {
        return;
    }
    targetAngle_ = angle;
    targetVelocity_ = 0;
    targetTime_ = time;
}

double FoldAnimator::predictedTarget(double time) const {
    if (std::isnan(time)) {
        return targetAngle_;
    }
    const double ahead = std::clamp(time - targetTime_, -Tuning::animHorizon, Tuning::animHorizon);
    return targetAngle_ + targetVelocity_ * ahead;
}

void FoldAnimator::place(double angle, double velocity) {
    if (!std::isfinite(angle) || !std::isfinite(velocity)) {
        return;
    }
    angle_ = angle;
    velocity_ = velocity;
    lastFrameTime_.reset();
}

void FoldAnimator::fade(double to) {
    if (!std::isfinite(to)) {
        return;
    }
    const double target = FoldMath::saturate(to);
    if (target == opacityTarget_) {
        return; // a ramp already heading there keeps its pace
    }
    opacityTarget_ = target;
    rampFrom_ = opacity_;
    rampRate_ = opacityVelocity_;
    rampElapsed_ = 0;
    rampDuration_ =
        std::max(std::abs(target - opacity_), shortestRampShare) * Tuning::clearDuration;
}

void FoldAnimator::setOpacity(double value) {
    if (!std::isfinite(value)) {
        return;
    }
    const double v = FoldMath::saturate(value);
    opacity_ = v;
    opacityTarget_ = v;
    opacityVelocity_ = 0;
    rampDuration_ = 0;
}

FoldAnimator::Frame FoldAnimator::advance(double time) {
    if (!isPrimed_ || !std::isfinite(time)) {
        return current();
    }
    if (!lastFrameTime_) {
        // No previous frame to measure from: moving now would show a jump.
        lastFrameTime_ = time;
        return current();
    }
    const double from = *lastFrameTime_;
    const double dt = std::max(0.0, time - from);
    lastFrameTime_ = time;

    if (dt > Tuning::animFrameGapRebase) {
        // After a stall, land on the target rather than whip toward it.
        const double sinceTarget = time - targetTime_;
        angle_ = predictedTarget(time);
        velocity_ = std::abs(sinceTarget) < Tuning::animHorizon ? targetVelocity_ : 0;
    } else {
        integrate(from, dt);
        if (!std::isfinite(angle_) || !std::isfinite(velocity_)) {
            // Only absurd, overflowing inputs get here; the target is still sound.
            angle_ = predictedTarget(time);
            velocity_ = 0;
        }
    }
    stepOpacity(dt);
    return current();
}

void FoldAnimator::integrate(double from, double dt) {
    const double tt = targetTime_;
    const double windowStart = tt - Tuning::animHorizon;
    const double windowEnd = tt + Tuning::animHorizon;
    const auto goal = [&](double t) {
        return targetAngle_ +
               targetVelocity_ * std::clamp(t - tt, -Tuning::animHorizon, Tuning::animHorizon);
    };

    double t = from;
    if (dt > negligibleTime) {
        double pos = angle_;
        double vel = velocity_;
        double remaining = dt;
        // Fixed short sub-steps make the motion the same at any refresh rate;
        // cutting them at the window edges keeps the moving goal's kinks exact.
        while (remaining > negligibleTime) {
            double h = std::min(Tuning::animSubstep, remaining);
            for (const double edge : {windowStart, windowEnd}) {
                if (edge > t && t + h > edge) {
                    h = std::min(remaining, std::max(edge - t, shortestEdgeCut));
                }
            }
            const double mid = t + h / 2;
            const double rate = (mid > windowStart && mid < windowEnd) ? targetVelocity_ : 0;
            const double error = pos - goal(t);
            // Moving away from the goal (past a lid that stopped) stiffens the
            // spring so an overshoot is caught quickly.
            const double brake =
                FoldMath::saturate(vel * error / (Tuning::animBrakeAngle * Tuning::animBrakeSpeed));
            const double omega =
                (2 * std::numbers::pi / Tuning::animResponse) * (1 + Tuning::animBrakeGain * brake);
            SettleSpring spring{error, vel - rate};
            spring.step(0, h, omega, Tuning::animDamping);
            t += h;
            remaining -= h;
            pos = spring.value + goal(t);
            vel = rate + spring.velocity;
        }
        angle_ = pos;
        velocity_ = vel;
    }
    if (t >= windowEnd && std::abs(angle_ - targetAngle_) < restSnapAngle &&
        std::abs(velocity_) < restSnapSpeed) {
        angle_ = targetAngle_;
        velocity_ = 0;
    }
}

void FoldAnimator::stepOpacity(double dt) {
    if (!(rampDuration_ > 0)) {
        return;
    }
    rampElapsed_ += dt;
    const double s = rampElapsed_ / rampDuration_;
    if (s >= 1) {
        opacity_ = opacityTarget_;
        opacityVelocity_ = 0;
        rampDuration_ = 0;
        return;
    }
    // Cubic Hermite from the ramp's start, leaving with the rate it had then,
    // arriving at rest, so an interrupted fade turns without a kink.
    const double d = rampDuration_;
    const double s2 = s * s;
    const double s3 = s2 * s;
    opacity_ =
        FoldMath::saturate((2 * s3 - 3 * s2 + 1) * rampFrom_ + d * (s3 - 2 * s2 + s) * rampRate_ +
                           (3 * s2 - 2 * s3) * opacityTarget_);
    opacityVelocity_ = ((6 * s2 - 6 * s) * rampFrom_ + d * (3 * s2 - 4 * s + 1) * rampRate_ +
                        (6 * s - 6 * s2) * opacityTarget_) /
                       d;
}

FoldAnimator::Frame FoldAnimator::current() const {
    const double shown = std::abs(velocity_) < Tuning::stillVelocity ? 0 : velocity_;
    return {angle_, shown, opacity_};
}

} // namespace orvane
