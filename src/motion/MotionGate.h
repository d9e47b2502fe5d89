// SPDX-License-Identifier: MIT
// Decides, one filtered lid sample at a time, whether the fold is shown: arms
// when the lid starts to close, follows it, settles, parks in the cover or clears.
#pragma once

#include "core/Tuning.h"
#include "cover/CoverMode.h"
#include "motion/SettleSpring.h"
#include "sensor/SensorRate.h"

#include <optional>
#include <string_view>
#include <vector>

namespace orvane {

enum class GateState { idle, arming, folding, settling, cover, clearing };

std::string_view rawValue(GateState state);
// Exact raw value only.
std::optional<GateState> gateStateFromRaw(std::string_view raw);

enum class GateEvent { clearClick };

// The settings the gate reads: a small value, so a step copies no lists.
struct GateSettings {
    double clearAngle = Tuning::defaultClearAngle;
    CoverMode coverMode = CoverMode::off;
    std::optional<double> previewAngle; // the manual preview holds the fold here
    bool operator==(const GateSettings&) const = default;
};

struct GateInput {
    double angle = 0;        // filtered lid angle, degrees
    double velocity = 0;     // filtered, degrees per second, negative while closing
    double time = 0;         // seconds, monotonic
    bool frameReady = false; // the current capture stream has delivered a frame
    bool blocked = false;    // the effect must not run now, whatever the lid does
    GateSettings settings;
    bool operator==(const GateInput&) const = default;
};

struct GateOutput {
    bool wantsCapture = false;
    bool overlayVisible = false;
    double displayAngle = 0; // degrees
    double opacity = 0;
    bool frozen = false; // hold the last frame instead of live content
    SensorRate sensorRate = SensorRate::idle;
    std::vector<GateEvent> events; // empty or one clear click
    bool operator==(const GateOutput&) const = default;
};

// A plain value: no clock, every decision follows from its fields and the
// sample. A sample with a non-finite angle, velocity or time leaves it as it
// was (it may still block or preview) and repeats the last output, without events.
class MotionGate {
public:
    GateOutput step(const GateInput& input);
    // Whether `step` with this input would begin or resume a fold; asked first
    // so a capture stream can start in time. Changes nothing.
    bool wouldStartFold(const GateInput& input) const;
    // For sleep, wake and screen changes; the spring, the still band and the
    // clear-click latch survive.
    void forceIdle();

    GateState state() const { return state_; }
    double displayAngle() const { return displayAngle_; }

    bool operator==(const MotionGate&) const = default;

private:
    struct AnglePoint {
        double time = 0;
        double angle = 0;
        bool operator==(const AnglePoint&) const = default;
    };
    struct Band {
        double stillFor = 0;
        bool restarted = false;
    };

    Band trackBand(double angle, double now);
    bool trackTravel(double angle, double now);
    // Whether, from the current state, this sample begins or resumes a fold.
    bool startsFold(const GateInput& input) const;
    void transition(const GateInput& input, double dt, Band band, bool moved);
    void settle(double angle, double dt, double clearAngle);
    void goIdle();
    void enterArming(double now, bool resuming);
    void enterFolding(const GateInput& input, bool fromArming);
    void enterClearing(double now);
    GateOutput showPreview(double angle);
    GateOutput output(double now) const;

    GateState state_ = GateState::idle;
    double displayAngle_ = 0;
    double previousDisplayAngle_ = 0;
    bool primed_ = false;
    double bandMin_ = 0;
    double bandMax_ = 0;
    std::optional<double> bandStart_;
    std::vector<AnglePoint> recent_; // the last travel window, oldest first
    double clearingStart_ = 0;
    SettleSpring spring_;
    bool clearFired_ = false;
    bool resumingFromCover_ = false;
    std::optional<double> armingSince_;
    std::optional<double> lastTime_;
};

} // namespace orvane
