// SPDX-License-Identifier: MIT
// Drives the fold animation as the effect controller does: sensor samples and
// display frames interleaved in time order.
#pragma once

#include "core/Tuning.h"
#include "motion/FoldAnimator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orvane::test {

// Calls onSample at every sensor tick and onFrame at every display refresh of
// [start, end], in time order, a sample before a frame of the same instant (the
// order the effect controller keeps). Times are index / rate, so ticks of
// different rates that coincide are the same double; `sampleDelay` shifts the
// sensor's ticks off the display's.
template <typename OnSample, typename OnFrame>
void drive(double start, double end, double frameHz, OnSample&& onSample, OnFrame&& onFrame,
           double sampleHz = Tuning::sensorHzActive, double sampleDelay = 0) {
    auto s = static_cast<std::int64_t>(std::ceil((start - sampleDelay) * sampleHz));
    auto f = static_cast<std::int64_t>(std::ceil(start * frameHz));
    while (true) {
        const double ts = static_cast<double>(s) / sampleHz + sampleDelay;
        const double tf = static_cast<double>(f) / frameHz;
        if (std::min(ts, tf) > end) {
            return;
        }
        if (ts <= tf) {
            onSample(ts);
            ++s;
        } else {
            onFrame(tf);
            ++f;
        }
    }
}

// Display frames alone, at 60 Hz.
template <typename OnFrame>
void framesOnly(double start, double end, OnFrame&& onFrame) {
    drive(
        start, end, 60, [](double) {}, onFrame);
}

inline bool finite(const FoldAnimator::Frame& f) {
    return std::isfinite(f.angle) && std::isfinite(f.velocity) && std::isfinite(f.opacity);
}

inline bool finite(const FoldAnimator& a) {
    return std::isfinite(a.targetAngle()) && std::isfinite(a.targetVelocity()) &&
           std::isfinite(a.targetTime()) && std::isfinite(a.angle()) &&
           std::isfinite(a.velocity()) && std::isfinite(a.opacity()) &&
           std::isfinite(a.opacityVelocity()) && std::isfinite(a.opacityTarget()) &&
           (!a.lastFrameTime() || std::isfinite(*a.lastFrameTime()));
}

} // namespace orvane::test
