// SPDX-License-Identifier: MIT
// The whole motion path as the effect runs it: raw lid samples through the
// filter, the gate and the overlay motion, with display frames in between,
// over thousands of random but physical lid traces.
#include "core/Tuning.h"
#include "core/Xorshift.h"
#include "motion/MotionGate.h"
#include "motion/OverlayMotion.h"
#include "sensor/AngleFilter.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

using namespace orvane;

namespace {

constexpr double samplePeriod = 1.0 / Tuning::sensorHzActive;
constexpr double framePeriod = 1.0 / 60.0;

// A lid a hand could move: rests and eased moves at up to 300 deg/s between
// 10 and 135 degrees, read with a little sensor noise.
struct Trace {
    struct Move {
        double start;
        double duration;
        double from;
        double to;
    };
    std::vector<Move> moves;
    double end = 0;

    double angleAt(double time) const {
        double angle = moves.front().from;
        for (const Move& m : moves) {
            if (time < m.start) {
                break;
            }
            const double s = std::min((time - m.start) / m.duration, 1.0);
            angle = m.from + (m.to - m.from) * (1 - std::cos(std::numbers::pi * s)) / 2;
        }
        return angle;
    }
};

Trace randomTrace(Xorshift32& random, double clearAngle) {
    Trace trace;
    double time = 0;
    double angle = clearAngle + 10 + 5 * random.uniform();
    const int legs = 2 + static_cast<int>(random.next() % 5);
    for (int i = 0; i < legs; ++i) {
        time += 0.1 + 1.5 * random.uniform(); // a rest first
        const double to = 10 + 125 * random.uniform();
        const double speed = 10 + 290 * random.uniform();
        const double duration = std::max(std::abs(to - angle) / speed, 0.05);
        trace.moves.push_back({time, duration, angle, to});
        time += duration;
        angle = to;
    }
    // Finally the lid opens past the clear angle and stays there.
    const double open = std::min(clearAngle + 12, Tuning::maxObservedAngle);
    time += 0.2 + random.uniform();
    trace.moves.push_back({time, std::max(std::abs(open - angle) / 120, 0.05), angle, open});
    trace.end = time + std::abs(open - angle) / 120 + 3.0;
    return trace;
}

// Runs one trace, failing at the first broken rule; whether it showed a fold.
bool run(const Trace& trace, Xorshift32& random, GateSettings settings, double captureDelay,
         double blockStart, double blockLength) {
    AngleFilter filter;
    MotionGate gate;
    OverlayMotion overlay;
    double captureSince = -1;
    bool lastWantsCapture = false;
    bool clickArmed = true;
    double nextFrame = 0;
    const double clear = settings.clearAngle;
    bool showedFold = false;
    double now = 0;
    const auto require = [&now](bool holds, const char* rule) {
        if (!holds) {
            CAPTURE(now);
            FAIL(rule);
        }
    };

    for (; now < trace.end; now += samplePeriod) {
        // Display frames due before this sample.
        for (; nextFrame < now; nextFrame += framePeriod) {
            const FoldAnimator::Frame f = overlay.frame(nextFrame);
            require(f.opacity >= 0 && f.opacity <= 1 && std::isfinite(f.angle),
                    "frame opacity or angle out of range");
        }
        const double raw = trace.angleAt(now) + 0.3 * random.signedNoise();
        const FilteredSample sample = filter.ingest(raw, now);
        overlay.sample(sample.angle, now);

        const bool blocked = now >= blockStart && now < blockStart + blockLength;
        const bool frameReady =
            lastWantsCapture && captureSince >= 0 && now - captureSince >= captureDelay;
        GateInput input{sample.angle, sample.velocity, now, frameReady, blocked, settings};
        const GateState from = gate.state();
        const bool predicted = gate.wouldStartFold(input);
        const GateOutput out = gate.step(input);
        const GateState to = gate.state();
        overlay.gateStepped(out, from, to, clear, now, blocked);
        overlay.enforceDeadline(now);

        require(out.opacity >= 0 && out.opacity <= 1 && std::isfinite(out.displayAngle),
                "gate opacity or angle out of range");
        using enum GateState;
        require(from != arming || to != folding || frameReady, "folding without a captured frame");
        const bool started = from != to && ((from == arming && to == folding) ||
                                            ((from == idle || from == clearing || from == cover) &&
                                             (to == arming || to == folding)));
        require(predicted == started, "the fold prediction disagreed with the step");
        showedFold = showedFold || to == folding;
        require(!out.overlayVisible || out.frozen || out.wantsCapture,
                "live overlay without capture");
        require(!overlay.isLive() || overlay.fadingOut() || out.wantsCapture,
                "overlay live while capture is off");
        require(!blocked || !overlay.showing(), "overlay shown while blocked");
        for (GateEvent event : out.events) {
            if (event == GateEvent::clearClick) {
                require(clickArmed, "second click without closing past the hysteresis");
                require(out.displayAngle >= clear, "click below the clear angle");
                clickArmed = false;
            }
        }
        if (out.displayAngle < clear - Tuning::clearHysteresis) {
            clickArmed = true;
        }

        if (out.wantsCapture && !lastWantsCapture) {
            captureSince = now;
        }
        lastWantsCapture = out.wantsCapture;
    }
    require(gate.state() == GateState::idle, "gate not idle once the lid stayed open");
    require(!overlay.showing(), "overlay still showing once the lid stayed open");
    return showedFold;
}

} // namespace

TEST_CASE("random lid traces never break the rules of the motion path") {
    Xorshift32 random(0x5eed1234);
    constexpr int traces = 2000;
    int folded = 0;
    for (int i = 0; i < traces; ++i) {
        GateSettings settings;
        settings.clearAngle = 70 + 50 * random.uniform();
        settings.coverMode = allCoverModes[random.next() % allCoverModes.size()];
        const Trace trace = randomTrace(random, settings.clearAngle);
        const double captureDelay = 0.3 * random.uniform();
        const bool withBlock = random.uniform() < 0.2;
        const double blockStart = withBlock ? trace.end * 0.6 * random.uniform() : -1;
        const double blockLength = withBlock ? 0.5 * random.uniform() : 0;
        CAPTURE(i);
        folded += run(trace, random, settings, captureDelay, blockStart, blockLength) ? 1 : 0;
    }
    // The traces must exercise the fold, or the rules above prove nothing.
    CHECK(folded > traces / 2);
}
