// SPDX-License-Identifier: MIT
#include "selfcheck/SmoothTrace.h"

#include "core/Tuning.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace orvane::SmoothTrace {

namespace {
constexpr double msPerSecond = 1000;
// Frames this long after a move starts show the display at its steady lag.
constexpr double lagSettleTime = 0.3;
// The display holds still once it stays this close to where it ends.
constexpr double stillTolerance = 0.1;
// Frames this long after the lid stops count as at rest.
constexpr double restFrom = 0.35;
// The display is with the lid once it shows where the lid was this long ago,
// give or take the animator's rest band.
constexpr double catchUpLag = 0.04;
} // namespace

double Case::angleAt(double time) const {
    double angle = from;
    for (const Segment& s : scenario) {
        if (time < s.t0) {
            break;
        }
        const double into = std::min((time - s.t0) / (s.t1 - s.t0), 1.0);
        const double shape = s.eased ? (1 - std::cos(std::numbers::pi * into)) / 2 : into;
        angle = s.a0 + (s.a1 - s.a0) * shape;
    }
    return angle;
}

double Random::uniform() {
    // xorshift64*: the top 53 bits scaled to [0, 1).
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    constexpr std::uint64_t multiplier = 0x2545f4914f6cdd1dULL;
    constexpr double unit = 1.0 / 9007199254740992.0;
    return static_cast<double>((state * multiplier) >> 11) * unit;
}

std::vector<Frame> run(const Case& c, const RunOptions& options, Pipeline& pipeline) {
    return run(c, options, pipeline, [](const Frame&) {});
}

std::optional<double> crossing(const Case& c, double angle, double step) {
    const double end = c.scenario.empty() ? 0 : c.scenario.back().t1;
    const bool above = c.angleAt(0) > angle;
    for (double t = 0; t <= end; t += step) {
        if ((c.angleAt(t) > angle) != above) {
            return t;
        }
    }
    return std::nullopt;
}

Metrics measure(const Case& c, const std::vector<Frame>& frames, double clearAngle) {
    Metrics m;
    if (c.scenario.empty()) {
        return m;
    }
    // The frame rate, from the spacing of the frames.
    const double period = frames.size() > 1 ? frames[1].time - frames[0].time : 1;

    // Steps, their changes and the changes of those, over runs of shown frames.
    double lastStep = 0, lastAcc = 0;
    int run = 0;
    const Frame* previous = nullptr;
    for (const Frame& f : frames) {
        if (!f.angle) {
            run = 0;
            previous = nullptr;
            continue;
        }
        ++m.visible;
        if (previous != nullptr) {
            const double step = *f.angle - *previous->angle;
            const double acc = step - lastStep;
            if (run >= 2) {
                m.acc = std::max(m.acc, std::abs(acc));
            }
            if (run >= 3) {
                m.jerk = std::max(m.jerk, std::abs(acc - lastAcc));
            }
            lastAcc = acc;
            lastStep = step;
        }
        ++run;
        previous = &f;
    }

    // The lag behind the longest linear move, once the display has its speed.
    const Segment* steady = nullptr;
    for (const Segment& s : c.scenario) {
        if (!s.eased && s.a0 != s.a1 && (!steady || s.t1 - s.t0 > steady->t1 - steady->t0)) {
            steady = &s;
        }
    }
    if (steady != nullptr) {
        const double speed = (steady->a1 - steady->a0) / (steady->t1 - steady->t0);
        double sum = 0;
        int count = 0;
        for (const Frame& f : frames) {
            if (f.angle && f.time >= steady->t0 + lagSettleTime && f.time <= steady->t1) {
                sum += (f.truth - *f.angle) / speed;
                ++count;
            }
        }
        m.lagMs = count > 0 ? sum / count * msPerSecond : 0;
        m.lagWindow = count * period;
    }

    // The last move: how far past its end the display went, and when it held still.
    const Segment& last = c.scenario.back();
    const double direction = last.a1 > last.a0 ? 1 : -1;
    const double stop = last.t1;
    double peak = 0;
    double lastMoving = stop;
    std::optional<double> finalAngle;
    for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
        if (it->angle && it->time >= stop) {
            finalAngle = finalAngle.value_or(*it->angle);
            if (std::abs(*it->angle - *finalAngle) > stillTolerance) {
                lastMoving = std::max(lastMoving, it->time);
            }
        }
    }
    double restMin = std::numeric_limits<double>::infinity();
    double restMax = -restMin;
    const Frame* restPrevious = nullptr;
    std::optional<double> passed;
    const Frame* before = nullptr;
    for (const Frame& f : frames) {
        const Frame* previousShown = before;
        before = f.angle ? &f : nullptr;
        if (!f.angle || f.time < stop) {
            continue;
        }
        // Travel on past the lid: from passing its resting angle to the farthest point.
        const double past = direction * (*f.angle - last.a1);
        if (past > 0 && !passed) {
            // Between frames, where the display crossed the lid's angle.
            passed = f.time;
            if (previousShown) {
                const double was = direction * (*previousShown->angle - last.a1);
                passed = f.time - (f.time - previousShown->time) * past / (past - was);
            }
        }
        if (past > peak) {
            peak = past;
            m.overshootMs = (f.time - passed.value_or(f.time)) * msPerSecond;
        }
        if (f.time >= stop + restFrom) {
            restMin = std::min(restMin, *f.angle);
            restMax = std::max(restMax, *f.angle);
            if (restPrevious) {
                m.restStep = std::max(m.restStep, std::abs(*f.angle - *restPrevious->angle));
            }
            restPrevious = &f;
        }
    }
    m.overshoot = peak;
    m.settle = lastMoving - stop;
    m.restPP = restMax >= restMin ? restMax - restMin : 0;

    // The fold's arrival once the lid passes into the fold band, and its catching up.
    const std::optional<double> entered =
        crossing(c, clearAngle + Tuning::fadeBand, 1 / Tuning::sensorHzActive);
    for (const Frame& f : frames) {
        if (f.angle && entered && f.time >= *entered) {
            m.startMs = (f.time - *entered) * msPerSecond;
            break;
        }
    }
    const double h = 1 / Tuning::sensorHzActive;
    std::optional<double> appeared;
    for (const Frame& f : frames) {
        if (!f.angle) {
            continue;
        }
        appeared = appeared.value_or(f.time);
        const double speed = (c.angleAt(f.time) - c.angleAt(f.time - h)) / h;
        if (std::abs(*f.angle - f.truth) <= std::abs(speed) * catchUpLag + Tuning::animRestBand) {
            m.catchUpMs = (f.time - *appeared) * msPerSecond;
            break;
        }
    }
    return m;
}

void ProductionPipeline::sample(const Sample& sample) {
    const FilteredSample lid = filter.ingest(sample.angle, sample.time);
    if (settings.previewAngle) {
        motion.target(*settings.previewAngle, sample.time);
    } else {
        motion.sample(lid.angle, sample.time);
    }
    const bool blocked = blockedFrom && sample.time >= *blockedFrom;
    const bool frameReady = wantsSince && sample.time - *wantsSince >= captureDelay;
    const GateInput input{lid.angle, lid.velocity, sample.time, frameReady, blocked, settings};
    const GateState from = gate.state();
    lastOutput = gate.step(input);
    motion.gateStepped(*lastOutput, from, gate.state(), settings.clearAngle, sample.time, blocked);
    motion.enforceDeadline(sample.time);
    if (!lastOutput->wantsCapture) {
        wantsSince.reset();
    } else if (!wantsSince) {
        wantsSince = sample.time;
    }
}

Frame ProductionPipeline::frame(double time) {
    Frame f;
    f.time = time;
    f.capture = lastOutput && lastOutput->wantsCapture;
    if (!motion.showing()) {
        return f;
    }
    const FoldAnimator::Frame shown = motion.frame(time);
    f.angle = shown.angle;
    f.velocity = shown.velocity;
    f.opacity = shown.opacity;
    return f;
}

} // namespace orvane::SmoothTrace
