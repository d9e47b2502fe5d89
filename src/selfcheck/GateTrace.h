// SPDX-License-Identifier: MIT
// Synthetic lid motion through a real angle filter and motion gate, one
// sensor sample at a time, keeping what the gate's outputs showed.
#pragma once

#include "core/Tuning.h"
#include "motion/MotionGate.h"
#include "sensor/AngleFilter.h"
#include "settings/FoldSettings.h"

#include <optional>
#include <utility>
#include <vector>

namespace orvane {

struct GateTrace {
    // Sensor noise around a resting lid, degrees either way.
    static constexpr double defaultJitter = 0.5;

    AngleFilter filter;
    MotionGate gate;
    FoldSettings settings;
    double time = 0;                          // seconds, of the next sample
    double dt = 1.0 / Tuning::sensorHzActive; // seconds between samples
    bool blocked = false;
    std::vector<GateState> visited{GateState::idle}; // states in order of entry
    int clicks = 0;
    bool sawCapture = false;
    std::vector<double> idleEntries; // raw angles at which the gate went idle
    std::optional<GateOutput> lastOutput;
    bool deliverFrames = true; // a frame is ready one sample after capture is wanted
    double maxArmingDuration = 0;
    std::vector<std::pair<double, double>> foldingEntries; // display and input angle
    std::optional<double> armingSince;
    int framesSinceArm = 0; // samples since capture was first wanted
    bool frameReady = false;

    void hold(double angle, double seconds);
    // Alternately `jitter` above and below the angle.
    void holdJitter(double angle, double seconds, double jitter = defaultJitter);
    void ramp(double from, double to, double degPerSec);
    // One sample: filter, build the input, step the gate, record what it shows.
    const GateOutput& step(double raw);

    GateState state() const { return gate.state(); }
    bool wasIn(GateState state) const;
};

} // namespace orvane
