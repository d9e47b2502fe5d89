// SPDX-License-Identifier: MIT
#include "motion/OverlayMotion.h"

#include "core/Tuning.h"

#include <algorithm>
#include <cmath>

namespace orvane {

void OverlayMotion::target(double angle, double time) {
    if (!std::isfinite(angle) || !std::isfinite(time)) {
        return;
    }
    if (!animator_.isPrimed()) {
        animator_.ingest(angle, time);
    } else {
        animator_.setTarget(angle, time);
    }
}

void OverlayMotion::gateStepped(const GateOutput& output, GateState /*from*/, GateState to,
                                double clearAngle, double time, bool hardHide) {
    if (output.overlayVisible && !hardHide) {
        if (output.frozen) {
            if (!showing_) {
                animator_.setOpacity(1);
            }
            animator_.stopFrames();
            showing_ = true;
            fadingOut_ = false;
            fadeDeadline_.reset();
            frozen_ = true;
            return;
        }
        if (!showing_) {
            // First seen flat, at or above the clear angle, then folded down onto
            // the lid by the spring, instead of popping in already bent.
            const double predicted = animator_.predictedTarget(time);
            const double start =
                std::isfinite(clearAngle) ? std::max(predicted, clearAngle) : predicted;
            animator_.place(start, animator_.targetVelocity());
            animator_.setOpacity(1);
        } else if (frozen_) {
            // The frozen picture was of a closed lid; the live sheet resumes folded.
            animator_.place(Tuning::closedCap, 0);
        }
        showing_ = true;
        fadingOut_ = false;
        fadeDeadline_.reset();
        frozen_ = false;
        animator_.fade(to == GateState::clearing ? 0 : 1);
        return;
    }

    if (showing_ && !hardHide && !frozen_) {
        if (!fadingOut_) {
            if (!std::isfinite(time)) {
                // Without a time there is no deadline to promise; go at once.
                hideNow();
                return;
            }
            fadeDeadline_ = time + Tuning::fadeTeardownMax;
        }
        fadingOut_ = true;
        animator_.fade(0);
    } else if (showing_ || fadingOut_) {
        // A hard hide, or a frozen picture that is no longer true, never fades.
        hideNow();
    }
}

FoldAnimator::Frame OverlayMotion::frame(double time) {
    const FoldAnimator::Frame f = animator_.advance(time);
    if (fadingOut_ && (f.opacity <= 0 || (fadeDeadline_ && time >= *fadeDeadline_))) {
        hideNow();
    }
    return f;
}

void OverlayMotion::enforceDeadline(double time) {
    if (fadingOut_ && fadeDeadline_ && *fadeDeadline_ <= time) {
        hideNow();
    }
}

void OverlayMotion::hideNow() {
    showing_ = false;
    fadingOut_ = false;
    frozen_ = false;
    fadeDeadline_.reset();
    animator_.setOpacity(0);
    animator_.stopFrames();
}

} // namespace orvane
