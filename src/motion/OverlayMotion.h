// SPDX-License-Identifier: MIT
// The overlay's life on screen around one fold animator: how it appears for a
// gate output, when it freezes, and how it fades out with a hard deadline.
#pragma once

#include "motion/FoldAnimator.h"
#include "motion/MotionGate.h"

#include <optional>

namespace orvane {

class OverlayMotion {
public:
    // A filtered sensor sample.
    void sample(double angle, double time) { animator_.ingest(angle, time); }
    // A target that does not come from the sensor (a preview angle).
    void target(double angle, double time);
    // After every gate step; `hardHide` is set while the effect is blocked. The
    // state the gate left is not needed: only where it went matters.
    void gateStepped(const GateOutput& output, GateState from, GateState to, double clearAngle,
                     double time, bool hardHide);
    // Once per display refresh, at the frame's presentation time.
    FoldAnimator::Frame frame(double time);
    // Hides a fade-out whose deadline has passed, for when frames have stopped.
    void enforceDeadline(double time);
    // Off screen at once, keeping the target and the displayed angle.
    void hideNow();

    bool isLive() const { return showing_ && !frozen_; }
    bool showing() const { return showing_; }
    bool fadingOut() const { return fadingOut_; }
    bool frozen() const { return frozen_; }
    std::optional<double> fadeDeadline() const { return fadeDeadline_; }
    const FoldAnimator& animator() const { return animator_; }

    bool operator==(const OverlayMotion&) const = default;

private:
    FoldAnimator animator_;
    bool showing_ = false;
    bool fadingOut_ = false;
    bool frozen_ = false;
    std::optional<double> fadeDeadline_;
};

} // namespace orvane
