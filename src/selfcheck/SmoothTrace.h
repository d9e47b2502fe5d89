// SPDX-License-Identifier: MIT
// Scripted lid motion through the display pipeline: sensor samples and display
// frames interleaved in time, with noise, dropouts and frame gaps, and the
// measures of how smoothly the shown fold followed the lid.
#pragma once

#include "motion/MotionGate.h"
#include "motion/OverlayMotion.h"
#include "sensor/AngleFilter.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane::SmoothTrace {

// The lid between two times: linear, or easing in and out like a hand.
struct Segment {
    double t0 = 0;
    double t1 = 0;
    double a0 = 0;
    double a1 = 0;
    bool eased = false;
};

struct Sample {
    double angle = 0;
    double time = 0;
};

struct Case {
    std::string name;
    std::vector<Segment> scenario; // in time order; the lid rests between them
    double from = 0;               // the angle before the first segment

    double angleAt(double time) const;
};

// Seeded noise for the sensor, so a run repeats exactly.
struct Random {
    std::uint64_t state = 0x9e3779b97f4a7c15ULL;
    double uniform(); // [0, 1)
    double signedNoise(double amplitude) { return amplitude * (2 * uniform() - 1); }
};

struct Frame {
    double time = 0;
    double truth = 0;            // the lid's angle then
    std::optional<double> angle; // none while nothing is shown
    double velocity = 0;
    double opacity = 0;
    bool capture = false; // the screen capture runs
};

struct Metrics {
    double lagMs = 0;       // mean delay of the display behind the steadiest move
    double acc = 0;         // largest change of the per-frame step, deg/frame^2
    double jerk = 0;        // largest change of that, deg/frame^3
    double overshoot = 0;   // degrees past where the lid stopped
    double overshootMs = 0; // how long the display went on after the lid stopped
    double settle = 0;      // seconds after the stop until the display holds still
    double restPP = 0;      // peak to peak of the display once at rest, degrees
    double restStep = 0;    // largest frame step once at rest, degrees
    int visible = 0;        // frames with a fold shown
    double startMs = 0;     // from the lid passing the fold band to the first frame
    double catchUpMs = 0;   // from the first frame until the display is with the lid
    double lagWindow = 0;   // seconds of steady motion the lag was measured over
};

// What the samples go through and the frames come from.
class Pipeline {
public:
    virtual ~Pipeline() = default;
    virtual void sample(const Sample& sample) = 0;
    // The frame drawn at `time`; the runner fills in the lid's angle.
    virtual Frame frame(double time) = 0;
};

struct RunOptions {
    double sampleHz = 0;
    double frameHz = 0;
    double noise = 0; // degrees either way on each sample
    double end = 0;
    std::optional<std::pair<double, double>> dropout;  // no samples from, until
    std::optional<std::pair<double, double>> frameGap; // no frames from, until
    Random random;
};

// Every sample and frame of [0, end] in time order, a sample before a frame
// of the same instant; `onFrame` sees each frame as it is drawn.
template <typename OnFrame>
std::vector<Frame> run(const Case& c, RunOptions options, Pipeline& pipeline, OnFrame&& onFrame);
std::vector<Frame> run(const Case& c, const RunOptions& options, Pipeline& pipeline);

// The lid crosses `angle` first at this time, if ever.
std::optional<double> crossing(const Case& c, double angle, double step);

Metrics measure(const Case& c, const std::vector<Frame>& frames, double clearAngle);

// The arrangement the effect runs, without hardware: the filter, the gate and
// the overlay motion, a capture whose first frame comes `captureDelay` after
// the gate wants it, and a block from `blockedFrom` on.
class ProductionPipeline final : public Pipeline {
public:
    AngleFilter filter;
    MotionGate gate;
    OverlayMotion motion;
    GateSettings settings;
    double captureDelay = 0;
    std::optional<double> blockedFrom;
    std::optional<GateOutput> lastOutput;
    std::optional<double> wantsSince;

    void sample(const Sample& sample) override;
    Frame frame(double time) override;
};

template <typename OnFrame>
std::vector<Frame> run(const Case& c, RunOptions options, Pipeline& pipeline, OnFrame&& onFrame) {
    const auto within = [](const std::optional<std::pair<double, double>>& span, double t) {
        return span && t >= span->first && t < span->second;
    };
    std::vector<Frame> frames;
    std::int64_t s = 0;
    std::int64_t f = 0;
    for (;;) {
        const double ts = static_cast<double>(s) / options.sampleHz;
        const double tf = static_cast<double>(f) / options.frameHz;
        if (std::min(ts, tf) > options.end) {
            return frames;
        }
        if (ts <= tf) {
            if (!within(options.dropout, ts)) {
                pipeline.sample({c.angleAt(ts) + options.random.signedNoise(options.noise), ts});
            }
            ++s;
        } else {
            if (!within(options.frameGap, tf)) {
                Frame frame = pipeline.frame(tf);
                frame.truth = c.angleAt(tf);
                onFrame(frame);
                frames.push_back(frame);
            }
            ++f;
        }
    }
}

} // namespace orvane::SmoothTrace

namespace orvane {
using SmoothProductionPipeline = SmoothTrace::ProductionPipeline;
} // namespace orvane
