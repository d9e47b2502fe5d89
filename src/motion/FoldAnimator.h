// SPDX-License-Identifier: MIT
// Turns irregular filtered lid samples into one fold angle and overlay opacity
// per display refresh: a predicted target followed by a braking spring.
#pragma once

#include <optional>

namespace orvane {

class FoldAnimator {
public:
    struct Frame {
        double angle = 0;    // degrees
        double velocity = 0; // degrees per second; 0 while slower than the still speed
        double opacity = 0;
        bool operator==(const Frame&) const = default;
    };

    // Every operation ignores a non-finite argument and leaves the animator as it was.
    void reset() { *this = FoldAnimator{}; }
    // A filtered lid sample; the first one also places the display on it.
    void ingest(double angle, double time);
    // Moves the target straight to `angle`, at rest and without the rest band,
    // for targets that do not come from the sensor.
    void setTarget(double angle, double time);
    // The target extrapolated by its velocity, at most one horizon either way.
    double predictedTarget(double time) const;
    // Puts the display at a pose directly; the next `advance` only records its time.
    void place(double angle, double velocity);
    void stopFrames() { lastFrameTime_.reset(); }
    // Ramps the opacity to `to`, carrying on from the current rate.
    void fade(double to);
    // Jumps the opacity, ending any ramp.
    void setOpacity(double value);
    Frame advance(double time);

    double targetAngle() const { return targetAngle_; }
    double targetVelocity() const { return targetVelocity_; }
    double targetTime() const { return targetTime_; }
    double angle() const { return angle_; }
    double velocity() const { return velocity_; }
    std::optional<double> lastFrameTime() const { return lastFrameTime_; }
    bool isPrimed() const { return isPrimed_; }
    double opacity() const { return opacity_; }
    double opacityVelocity() const { return opacityVelocity_; }
    double opacityTarget() const { return opacityTarget_; }

    bool operator==(const FoldAnimator&) const = default;

private:
    void integrate(double from, double dt);
    void stepOpacity(double dt);
    Frame current() const;

    double targetAngle_ = 0;
    double targetVelocity_ = 0;
    double targetTime_ = 0;
    double angle_ = 0;
    double velocity_ = 0;
    std::optional<double> lastFrameTime_;
    bool isPrimed_ = false;
    double opacity_ = 0;
    double opacityVelocity_ = 0;
    double opacityTarget_ = 0;
    double rampFrom_ = 0;
    double rampRate_ = 0;
    double rampElapsed_ = 0;
    double rampDuration_ = 0; // 0 while no ramp runs
};

} // namespace orvane
