// SPDX-License-Identifier: MIT
#include "motion/MotionGate.h"

#include "core/Tuning.h"
#include "motion/FoldMath.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orvane {

namespace {

constexpr std::array<GateState, 6> allStates{GateState::idle,    GateState::arming,
                                             GateState::folding, GateState::settling,
                                             GateState::cover,   GateState::clearing};

// How far below the clear angle a settling sheet is held while the lid itself
// is below it, so the spring's overshoot neither shows a cleared sheet nor clicks.
constexpr double clearClampGap = 1e-6;

// After this long the spring's envelope has shrunk by e^-40, below double
// precision, so a longer gap between samples is cut to it: same result, and
// the spring's substeps stay bounded after a long pause.
constexpr double springDecayExponent = 40.0;
constexpr double springSettledTime =
    springDecayExponent / (Tuning::settleDamping * Tuning::settleOmega);

bool isReadable(const GateInput& input) {
    return std::isfinite(input.angle) && std::isfinite(input.velocity) && std::isfinite(input.time);
}

// A preview of a non-finite angle could only show NaN; it counts as no preview.
std::optional<double> previewAngleOf(const GateSettings& settings) {
    if (settings.previewAngle && std::isfinite(*settings.previewAngle)) {
        return settings.previewAngle;
    }
    return std::nullopt;
}

} // namespace

std::string_view rawValue(GateState state) {
    switch (state) {
    case GateState::idle:
        return "idle";
    case GateState::arming:
        return "arming";
    case GateState::folding:
        return "folding";
    case GateState::settling:
        return "settling";
    case GateState::cover:
        return "cover";
    case GateState::clearing:
        return "clearing";
    }
    return "idle";
}

std::optional<GateState> gateStateFromRaw(std::string_view raw) {
    for (GateState state : allStates) {
        if (rawValue(state) == raw) {
            return state;
        }
    }
    return std::nullopt;
}

GateOutput MotionGate::step(const GateInput& input) {
    const std::optional<double> preview = previewAngleOf(input.settings);
    if (!isReadable(input)) {
        // Blocking and previews do not depend on the lid, so they still apply.
        if (input.blocked) {
            goIdle();
        } else if (preview) {
            return showPreview(*preview);
        }
        return output(lastTime_.value_or(clearingStart_));
    }

    const double a = input.angle;
    const double now = input.time;
    if (!primed_) {
        primed_ = true;
        const double start = preview.value_or(a);
        displayAngle_ = start;
        previousDisplayAngle_ = start;
        spring_ = {start, 0};
    }
    const double dt = lastTime_ ? std::max(0.0, now - *lastTime_) : 0.0;
    lastTime_ = now;
    const Band band = trackBand(a, now);
    const bool moved = trackTravel(a, now);

    if (input.blocked) {
        goIdle();
        return output(now);
    }
    if (preview) {
        return showPreview(*preview);
    }
    if (a < Tuning::sleepAngle) {
        goIdle();
        return output(now);
    }

    transition(input, dt, band, moved);

    GateOutput result = output(now);
    const double clear = input.settings.clearAngle;
    // A fold that has not shown itself yet must not click.
    const bool mayClick =
        state_ != GateState::idle && (state_ != GateState::arming || resumingFromCover_);
    if (mayClick && !clearFired_ && previousDisplayAngle_ < clear && clear <= displayAngle_) {
        result.events.push_back(GateEvent::clearClick);
        clearFired_ = true;
    }
    if (displayAngle_ < clear - Tuning::clearHysteresis) {
        clearFired_ = false;
    }
    previousDisplayAngle_ = displayAngle_;
    return result;
}

bool MotionGate::wouldStartFold(const GateInput& input) const {
    return isReadable(input) && !input.blocked && !previewAngleOf(input.settings) &&
           input.angle >= Tuning::sleepAngle && startsFold(input);
}

bool MotionGate::startsFold(const GateInput& input) const {
    const double a = input.angle;
    const double clear = input.settings.clearAngle;
    const bool fast = std::abs(input.velocity) >= Tuning::armVelocity;
    switch (state_) {
    case GateState::idle:
    case GateState::clearing:
        return fast && a < clear + Tuning::armMargin;
    case GateState::arming:
        return input.frameReady && a < clear + Tuning::fadeBand;
    case GateState::folding:
    case GateState::settling:
        return false;
    case GateState::cover:
        return fast && input.settings.coverMode != CoverMode::off;
    }
    return false;
}

void MotionGate::forceIdle() {
    goIdle();
}

MotionGate::Band MotionGate::trackBand(double angle, double now) {
    if (bandStart_) {
        const double low = std::min(bandMin_, angle);
        const double high = std::max(bandMax_, angle);
        if (high - low <= Tuning::stillRange) {
            bandMin_ = low;
            bandMax_ = high;
            return {std::max(0.0, now - *bandStart_), false};
        }
    }
    bandMin_ = angle;
    bandMax_ = angle;
    bandStart_ = now;
    return {0, true};
}

bool MotionGate::trackTravel(double angle, double now) {
    // Entries stamped after `now` come from before a clock step backwards and
    // would otherwise linger (and pile up) until the clock caught up.
    while (!recent_.empty() && recent_.back().time > now) {
        recent_.pop_back();
    }
    // Entries sharing a time stamp leave the window together, so of a run of
    // them only the first (a possible oldest) and the newest matter.
    const std::size_t n = recent_.size();
    if (n >= 2 && recent_[n - 1].time == now && recent_[n - 2].time == now) {
        recent_.back().angle = angle;
    } else {
        recent_.push_back({now, angle});
    }
    const auto firstKept = std::find_if(recent_.begin(), recent_.end(), [now](AnglePoint p) {
        return now - p.time <= Tuning::travelWindow;
    });
    recent_.erase(recent_.begin(), firstKept);
    return std::abs(angle - recent_.front().angle) >= Tuning::stillNetTravel;
}

void MotionGate::transition(const GateInput& input, double dt, Band band, bool moved) {
    const double a = input.angle;
    const double v = std::abs(input.velocity);
    const double now = input.time;
    const double clear = input.settings.clearAngle;
    const CoverMode cover = input.settings.coverMode;
    const bool atRest = band.stillFor >= Tuning::settleTime && !moved;
    // The states a fold begins from move on exactly when the prediction says so.
    const bool starts = startsFold(input);

    switch (state_) {
    case GateState::idle:
        if (starts) {
            enterArming(now, false);
        }
        break;
    case GateState::arming:
        if (starts) {
            enterFolding(input, true);
        } else if (now - armingSince_.value_or(now) >= Tuning::armTimeout) {
            goIdle();
        } else if (atRest && a >= clear + Tuning::fadeBand) {
            goIdle();
        }
        break;
    case GateState::folding:
        displayAngle_ = a;
        if (v < Tuning::stillVelocity || band.stillFor >= Tuning::stillEntryTime) {
            state_ = GateState::settling;
            spring_ = {a, input.velocity};
        }
        break;
    case GateState::settling:
        settle(a, dt, clear);
        if (v >= Tuning::stillVelocity && band.restarted) {
            // The lid moved off: follow it again, the spring keeps its motion.
            state_ = GateState::folding;
            displayAngle_ = a;
        } else if (atRest) {
            // Only a lid resting half closed, below the clear angle, parks in a cover.
            if (a >= clear || cover == CoverMode::off || a < Tuning::coverMinAngle) {
                enterClearing(now);
            } else {
                state_ = GateState::cover;
            }
        }
        break;
    case GateState::cover:
        // Switching the cover off cannot start a fold, so it clears first.
        if (starts) {
            enterArming(now, true);
        } else if (cover == CoverMode::off) {
            enterClearing(now);
        }
        break;
    case GateState::clearing:
        if (starts) {
            enterFolding(input, false);
        } else if (now - clearingStart_ >= Tuning::clearDuration) {
            goIdle();
        }
        break;
    }
}

void MotionGate::settle(double angle, double dt, double clearAngle) {
    spring_.step(angle, std::min(dt, springSettledTime), Tuning::settleOmega,
                 Tuning::settleDamping);
    if (!std::isfinite(spring_.value) || !std::isfinite(spring_.velocity)) {
        // Only an absurd jump in a finite angle gets here; rest on the lid.
        spring_ = {angle, 0};
    }
    displayAngle_ = spring_.value;
    if (spring_.value >= clearAngle && angle < clearAngle) {
        displayAngle_ = std::max(clearAngle - clearClampGap, angle);
    }
}

void MotionGate::goIdle() {
    state_ = GateState::idle;
    resumingFromCover_ = false;
    armingSince_.reset();
}

void MotionGate::enterArming(double now, bool resuming) {
    state_ = GateState::arming;
    armingSince_ = now;
    resumingFromCover_ = resuming;
}

void MotionGate::enterFolding(const GateInput& input, bool fromArming) {
    state_ = GateState::folding;
    displayAngle_ = input.angle;
    spring_ = {input.angle, input.velocity};
    if (fromArming) {
        resumingFromCover_ = false;
        armingSince_.reset();
    }
}

void MotionGate::enterClearing(double now) {
    state_ = GateState::clearing;
    clearingStart_ = now;
}

GateOutput MotionGate::showPreview(double angle) {
    goIdle();
    displayAngle_ = angle;
    previousDisplayAngle_ = angle;
    GateOutput result;
    result.wantsCapture = true;
    result.overlayVisible = true;
    result.displayAngle = angle;
    result.opacity = 1;
    return result;
}

GateOutput MotionGate::output(double now) const {
    GateOutput result;
    result.displayAngle = displayAngle_;
    switch (state_) {
    case GateState::idle:
        break;
    case GateState::arming:
        result.wantsCapture = true;
        result.sensorRate = SensorRate::active;
        if (resumingFromCover_) {
            // The cover's frozen sheet stays up until live frames take over.
            result.overlayVisible = true;
            result.opacity = 1;
            result.frozen = true;
        }
        break;
    case GateState::folding:
    case GateState::settling:
        result.wantsCapture = true;
        result.overlayVisible = true;
        result.opacity = 1;
        result.sensorRate = SensorRate::active;
        break;
    case GateState::cover:
        result.overlayVisible = true;
        result.opacity = 1;
        result.frozen = true;
        break;
    case GateState::clearing:
        result.wantsCapture = true;
        result.overlayVisible = true;
        result.opacity = 1 - FoldMath::smoothstep(0, Tuning::clearDuration, now - clearingStart_);
        result.sensorRate = SensorRate::active;
        break;
    }
    return result;
}

} // namespace orvane
