// SPDX-License-Identifier: MIT
#include "core/Tuning.h"
#include "core/Xorshift.h"
#include "motion/FoldAnimator.h"
#include "motion/MotionGate.h"
#include "motion/OverlayMotion.h"
#include "sensor/AngleFilter.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

using namespace orvane;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double sensorHz = Tuning::sensorHzActive;
constexpr double clearAngle = Tuning::defaultClearAngle;

// Calls onSample at every sensor tick and onFrame at every display refresh of
// [start, end], in time order, a sample before a frame of the same instant (the
// order the effect controller keeps). Times are index / rate, so ticks of
// different rates that coincide are the same double; `sampleDelay` shifts the
// sensor's ticks off the display's.
template <typename OnSample, typename OnFrame>
void drive(double start, double end, double frameHz, OnSample&& onSample, OnFrame&& onFrame,
           double sampleHz = sensorHz, double sampleDelay = 0) {
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

template <typename OnSample>
void forEachSample(double start, double end, OnSample&& onSample) {
    for (auto s = static_cast<std::int64_t>(std::ceil(start * sensorHz));
         static_cast<double>(s) / sensorHz <= end; ++s) {
        onSample(static_cast<double>(s) / sensorHz);
    }
}

// A lid held at `from`, then moving at `speed` from `moveAt` until it reaches `to`.
struct RampLid {
    double from = 115;
    double to = 50;
    double speed = -90;
    double moveAt = 0.2;

    double operator()(double time) const {
        const double moved = from + speed * std::max(0.0, time - moveAt);
        return speed < 0 ? std::max(moved, to) : std::min(moved, to);
    }
    double stopsAt() const { return moveAt + (to - from) / speed; }
};

GateOutput visibleOutput() {
    GateOutput output{};
    output.wantsCapture = true;
    output.overlayVisible = true;
    output.opacity = 1;
    output.frozen = false;
    output.sensorRate = SensorRate::active;
    return output;
}

GateOutput frozenOutput() {
    GateOutput output = visibleOutput();
    output.wantsCapture = false;
    output.frozen = true;
    output.sensorRate = SensorRate::idle;
    return output;
}

GateOutput hiddenOutput() {
    GateOutput output{};
    output.wantsCapture = false;
    output.overlayVisible = false;
    output.opacity = 0;
    output.frozen = false;
    output.sensorRate = SensorRate::idle;
    return output;
}

bool finite(const FoldAnimator::Frame& f) {
    return std::isfinite(f.angle) && std::isfinite(f.velocity) && std::isfinite(f.opacity);
}

bool finite(const FoldAnimator& a) {
    return std::isfinite(a.targetAngle()) && std::isfinite(a.targetVelocity()) &&
           std::isfinite(a.targetTime()) && std::isfinite(a.angle()) &&
           std::isfinite(a.velocity()) && std::isfinite(a.opacity()) &&
           std::isfinite(a.opacityVelocity()) && std::isfinite(a.opacityTarget()) &&
           (!a.lastFrameTime() || std::isfinite(*a.lastFrameTime()));
}

// A live overlay on a lid resting at `angle`, drawn at 60 Hz up to `until`,
// with the sheet already folded onto the lid.
OverlayMotion liveAt(double angle, double until) {
    OverlayMotion motion;
    motion.sample(angle, 0);
    motion.gateStepped(visibleOutput(), GateState::arming, GateState::folding, clearAngle, 0,
                       false);
    drive(
        0, until, 60, [&](double t) { motion.sample(angle, t); },
        [&](double t) { motion.frame(t); });
    return motion;
}

} // namespace

TEST_CASE("the first frame after priming, a stop, a placement or a hide only records its time") {
    FoldAnimator animator;
    animator.ingest(80, 1.0);
    animator.ingest(60, 1.01); // the target is now far from the display

    SUBCASE("after priming") {
        const FoldAnimator::Frame first = animator.advance(1.02);
        CHECK(first.angle == 80);
        CHECK(animator.lastFrameTime() == 1.02);
        CHECK(animator.advance(1.03).angle < 80);
    }
    SUBCASE("after stopFrames, however long ago the last frame was") {
        animator.advance(1.02);
        animator.advance(1.04);
        const double before = animator.angle();
        REQUIRE(before < 80);
        animator.stopFrames();
        CHECK(animator.advance(1.5).angle == before);
        CHECK(animator.advance(1.52).angle != before);
    }
    SUBCASE("after place") {
        animator.advance(1.02);
        animator.place(90, -30);
        const FoldAnimator::Frame first = animator.advance(1.04);
        CHECK(first.angle == 90);
        CHECK(first.velocity == -30);
    }
    SUBCASE("after a hide of the overlay") {
        OverlayMotion motion = liveAt(70, 0.5);
        motion.target(40, 0.51);
        motion.frame(0.52);
        const double before = motion.animator().angle();
        REQUIRE(before < 70);
        motion.hideNow();
        CHECK(motion.frame(0.53).angle == before);
        CHECK(motion.animator().angle() == before);
        CHECK(motion.animator().targetAngle() == 40); // the target is kept
    }
    SUBCASE("no frame moves an animator that has no sample yet") {
        FoldAnimator fresh;
        fresh.place(50, 0);
        CHECK(fresh.advance(1).angle == 50);
        CHECK(fresh.advance(2).angle == 50);
        CHECK_FALSE(fresh.lastFrameTime().has_value());
    }
}

TEST_CASE("after a long gap without frames the display lands on the predicted target") {
    const RampLid lid{130, 20, -60, 0.2};
    for (const double gap : {0.5, 1.0, 1.5}) {
        CAPTURE(gap);
        FoldAnimator animator;
        const double stallAt = 0.4;
        drive(
            0, stallAt, 60, [&](double t) { animator.ingest(lid(t), t); },
            [&](double t) { animator.advance(t); });
        // Samples keep coming through the stall; the next frame falls between two.
        const double resumeAt = stallAt + gap + 0.003;
        forEachSample(stallAt + 1e-6, resumeAt, [&](double t) { animator.ingest(lid(t), t); });
        REQUIRE(lid(resumeAt) > 20); // still moving
        const FoldAnimator::Frame f = animator.advance(resumeAt);
        CHECK(std::abs(f.angle - animator.predictedTarget(resumeAt)) < 0.05);
        CHECK(std::abs(f.velocity - animator.targetVelocity()) <= 3);
        CHECK(animator.targetVelocity() == doctest::Approx(lid.speed).epsilon(0.01));
    }
}

TEST_CASE("a stalled refresh neither throws the sheet past the lid nor leaves the overlay up") {
    const RampLid lid{110, 60, -90, 0.2};

    SUBCASE("frames stall while the lid moves on and stops") {
        FoldAnimator animator;
        drive(
            0, 0.4, 60, [&](double t) { animator.ingest(lid(t), t); },
            [&](double t) { animator.advance(t); });
        forEachSample(0.4 + 1e-6, 1.4, [&](double t) { animator.ingest(lid(t), t); });
        const double target = animator.targetAngle();
        double previous = animator.advance(1.4).angle;
        CHECK(std::abs(previous - target) < 0.05);
        drive(
            1.4 + 1e-6, 2.0, 60, [&](double t) { animator.ingest(lid(t), t); },
            [&](double t) {
                const double angle = animator.advance(t).angle;
                CHECK(angle >= target - 0.05);
                CHECK(angle <= previous + 1e-9); // never back up the way it came
                previous = angle;
            });
    }
    SUBCASE("samples stall with the frames: the prediction reaches only one horizon ahead") {
        FoldAnimator animator;
        drive(
            0, 0.4, 60, [&](double t) { animator.ingest(lid(t), t); },
            [&](double t) { animator.advance(t); });
        REQUIRE(animator.targetVelocity() < -60);
        const double horizonEnd =
            animator.targetAngle() + animator.targetVelocity() * Tuning::animHorizon;
        const FoldAnimator::Frame f = animator.advance(1.4);
        CHECK(f.angle == doctest::Approx(horizonEnd));
        CHECK(f.velocity == 0); // no fling from a target a second old
        // The lid was still moving all along; the sheet follows it down, not back
        // up, but for the spring's last small settle.
        const double settleRebound = 0.05;
        double previous = f.angle;
        drive(
            1.4 + 1e-6, 2.0, 60, [&](double t) { animator.ingest(lid(t), t); },
            [&](double t) {
                const double angle = animator.advance(t).angle;
                CHECK(angle <= previous + settleRebound);
                CHECK(angle >= animator.targetAngle() - 0.5);
                previous = angle;
            });
        CHECK(previous == doctest::Approx(animator.targetAngle()).epsilon(1e-3));
    }
    SUBCASE("a fade-out caught by the stall is gone on the first frame after it") {
        OverlayMotion motion = liveAt(70, 0.5);
        motion.gateStepped(hiddenOutput(), GateState::clearing, GateState::idle, clearAngle, 0.5,
                           false);
        REQUIRE(motion.showing());
        motion.frame(1.5);
        CHECK_FALSE(motion.showing());
        CHECK(motion.frame(1.52).opacity == 0);
    }
    SUBCASE("a live overlay is still up and opaque after the stall") {
        OverlayMotion motion = liveAt(70, 0.5);
        const FoldAnimator::Frame f = motion.frame(1.5);
        CHECK(motion.isLive());
        CHECK(f.opacity == 1);
        CHECK(f.angle == doctest::Approx(motion.animator().targetAngle()));
    }
}

TEST_CASE("a sensor dropout coasts at most one horizon past the last reading") {
    for (const double speed : {-30.0, -90.0}) {
        CAPTURE(speed);
        const RampLid lid{125, 20, speed, 0.2};
        FoldAnimator animator;
        const double lastSample = 0.8;
        double lastReading = 0;
        drive(
            0, lastSample, 60,
            [&](double t) {
                lastReading = lid(t);
                animator.ingest(lastReading, t);
            },
            [&](double t) { animator.advance(t); });
        const double velocity = animator.targetVelocity();
        REQUIRE(velocity == doctest::Approx(speed).epsilon(0.01));
        const double oneHorizon = std::abs(velocity) * Tuning::animHorizon;
        const double coastLimit = lastReading - oneHorizon;

        SUBCASE("the display comes to rest within the horizon and stays there") {
            double lowest = animator.angle();
            double lastMoved = lastSample;
            FoldAnimator::Frame previous = animator.advance(lastSample);
            drive(
                lastSample + 1e-6, lastSample + 0.5, 60, [](double) {},
                [&](double t) {
                    const FoldAnimator::Frame f = animator.advance(t);
                    lowest = std::min(lowest, f.angle);
                    if (std::abs(f.angle - previous.angle) > 0.01) {
                        lastMoved = t;
                    }
                    previous = f;
                });
            CHECK(previous.angle >= coastLimit);
            CHECK(previous.angle < lastReading);
            CHECK(previous.velocity == 0);
            CHECK(lastMoved < lastSample + 0.35);
            // Stopping a sheet moving this fast dips a little past the rest
            // point, and the brake keeps that dip small.
            CHECK(lowest > coastLimit - 1);
        }
        SUBCASE("a skew between sample and frame clocks moves the prediction one horizon at most") {
            const double atSample = animator.predictedTarget(lastSample);
            CHECK(atSample == animator.targetAngle());
            for (const double skew : {0.2, 5.0}) {
                CHECK(animator.predictedTarget(lastSample + skew) ==
                      doctest::Approx(atSample - oneHorizon));
                CHECK(animator.predictedTarget(lastSample - skew) ==
                      doctest::Approx(atSample + oneHorizon));
            }
        }
    }
}

TEST_CASE("a target that jumps or resumes after a pause lends the prediction no speed") {
    FoldAnimator animator;
    forEachSample(0, 0.5, [&](double t) { animator.ingest(80 - 30 * t, t); });
    REQUIRE(animator.targetVelocity() == doctest::Approx(-30).epsilon(0.01));

    SUBCASE("a sample after a long pause") {
        animator.ingest(62, 1.0);
        CHECK(animator.targetVelocity() == 0);
        CHECK(animator.predictedTarget(1.0 + Tuning::animHorizon) == animator.targetAngle());
    }
    SUBCASE("a sample far from the last one") {
        animator.ingest(40, 0.51);
        CHECK(animator.targetVelocity() == 0);
        CHECK(animator.targetAngle() == doctest::Approx(40 + Tuning::animRestBand));
    }
    SUBCASE("a sample from the past moves the target but not its time") {
        const double time = animator.targetTime();
        animator.ingest(60, time - 0.1);
        CHECK(animator.targetTime() == time);
        CHECK(animator.targetAngle() == doctest::Approx(60 + Tuning::animRestBand));
        CHECK(std::isfinite(animator.targetVelocity()));
    }
}

TEST_CASE("sensor jitter inside the rest band leaves the display still") {
    const double rest = 80;
    Xorshift32 noise(0x5eed1234u);

    SUBCASE("jitter under the band") {
        FoldAnimator animator;
        animator.ingest(rest, 0);
        const FoldAnimator::Frame still = animator.advance(0);
        drive(
            0, 3, 60, [&](double t) { animator.ingest(rest + 0.39 * noise.signedNoise(), t); },
            [&](double t) { CHECK(animator.advance(t) == still); });
        CHECK(animator.targetAngle() == rest);
        CHECK(animator.targetVelocity() == 0);
    }
    SUBCASE("jitter past the band does reach the display") {
        FoldAnimator animator;
        animator.ingest(rest, 0);
        double lowest = rest;
        double highest = rest;
        drive(
            0, 3, 60, [&](double t) { animator.ingest(rest + 1.5 * noise.signedNoise(), t); },
            [&](double t) {
                const double angle = animator.advance(t).angle;
                lowest = std::min(lowest, angle);
                highest = std::max(highest, angle);
            });
        CHECK(highest - lowest > 0.2);
    }
}

TEST_CASE("a lid closing steadily at 90 deg/s is drawn within half a degree of its target") {
    const RampLid lid{130, 10, -90, 0.2};
    // The sheet needs a moment to pick up speed from rest.
    const double settledIn = 0.25;
    for (const double hz : {60.0, 120.0}) {
        CAPTURE(hz);
        FoldAnimator animator;
        double worst = 0;
        drive(
            0, lid.stopsAt() - 0.05, hz, [&](double t) { animator.ingest(lid(t), t); },
            [&](double t) {
                const FoldAnimator::Frame f = animator.advance(t);
                CHECK(animator.targetTime() == t); // drawn at a sample time
                if (t >= lid.moveAt + settledIn) {
                    worst = std::max(worst, std::abs(f.angle - animator.targetAngle()));
                    // The blur reads the frame's speed, so it must be the lid's.
                    CHECK(f.velocity == doctest::Approx(lid.speed).epsilon(0.05));
                }
            });
        CHECK(worst < 0.5);
        CHECK(animator.angle() < 20);
    }
}

TEST_CASE("the displayed motion is the same at 30, 60, 120 and 240 Hz") {
    // A hand-moved lid: an eased close from 115 to 50, a hold, then a quick
    // reopen to 110 that stops dead, so the brake has work to do.
    const double topSpeed = 150;
    const auto rawLid = [&](double t) {
        if (t < 1.2) {
            const double s = std::clamp((t - 0.2) / 0.8, 0.0, 1.0);
            return 115 - 65 * s * s * (3 - 2 * s);
        }
        return std::clamp(50 + topSpeed * (t - 1.4), 50.0, 110.0);
    };
    const double end = 2.4;
    // The displayed angle on the 30 Hz grid that every rate shares.
    const auto curve = [&](double frameHz, double sampleHz, double sampleDelay) {
        FoldAnimator animator;
        AngleFilter filter;
        std::vector<double> angles;
        drive(
            0, end, frameHz,
            [&](double t) { animator.ingest(filter.ingest(rawLid(t), t).angle, t); },
            [&](double t) {
                const double angle = animator.advance(t).angle;
                const double ticks = t * 30;
                if (ticks == std::round(ticks)) {
                    angles.push_back(angle);
                }
            },
            sampleHz, sampleDelay);
        return angles;
    };
    const auto worstDifference = [](const std::vector<double>& a, const std::vector<double>& b) {
        REQUIRE(a.size() == b.size());
        double worst = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            worst = std::max(worst, std::abs(a[i] - b[i]));
        }
        return worst;
    };

    SUBCASE("with the same targets between frames, the refresh rate changes nothing") {
        // Sampling at the slowest refresh rate, half a 240 Hz frame after its
        // ticks, gives every display the same targets over each of its frames.
        const double delay = 0.5 / 240;
        const std::vector<double> reference = curve(240, Tuning::sensorHzAccordion, delay);
        double travelled = 0;
        for (std::size_t i = 1; i < reference.size(); ++i) {
            travelled += std::abs(reference[i] - reference[i - 1]);
        }
        REQUIRE(travelled > 100);
        for (const double hz : {30.0, 60.0, 120.0}) {
            CAPTURE(hz);
            const double w =
                worstDifference(curve(hz, Tuning::sensorHzAccordion, delay), reference);
            CHECK(w < 0.01);
        }
    }
    SUBCASE("with the sensor at full rate, a slower display differs by part of a frame") {
        // Each frame applies the newest sample to the whole of its span, so a
        // longer frame turns a little sooner; the gap shrinks with the frame.
        const std::vector<double> reference = curve(240, sensorHz, 0);
        double previous = inf;
        for (const double hz : {30.0, 60.0, 120.0}) {
            CAPTURE(hz);
            const double w = worstDifference(curve(hz, sensorHz, 0), reference);
            // Less than the lid's travel in half a frame at its top speed.
            CHECK(w < topSpeed / hz / 2);
            CHECK(w < previous);
            previous = w;
        }
    }
}

TEST_CASE("a preview slider from 100 to 55 settles without overshoot and fades out at its end") {
    const double lid = clearAngle;
    OverlayMotion motion;
    motion.sample(lid, 0);
    motion.target(100, 0.1);
    motion.gateStepped(visibleOutput(), GateState::idle, GateState::idle, clearAngle, 0.1, false);
    drive(
        0.1, 0.5, 60, [&](double t) { motion.target(100, t); }, [&](double t) { motion.frame(t); });
    REQUIRE(motion.animator().angle() == doctest::Approx(100));

    motion.target(55, 0.5);
    CHECK(std::abs(motion.animator().targetVelocity()) < 1);
    double lowest = 100;
    drive(
        0.5 + 1e-6, 2.0, 60, [&](double t) { motion.target(55, t); },
        [&](double t) {
            lowest = std::min(lowest, motion.frame(t).angle);
            CHECK(std::abs(motion.animator().targetVelocity()) < 1);
        });
    CHECK(lowest > 55 - 0.5);
    CHECK(motion.animator().angle() == doctest::Approx(55).epsilon(1e-3));
    CHECK(motion.isLive());

    // The preview ends: the lid's own samples return and the gate lets go.
    bool firstStep = true;
    double highest = 0;
    drive(
        2.0 + 1e-6, 3.5, 60,
        [&](double t) {
            motion.sample(lid, t);
            if (firstStep) {
                motion.gateStepped(hiddenOutput(), GateState::idle, GateState::idle, clearAngle, t,
                                   false);
                firstStep = false;
            }
            motion.enforceDeadline(t);
        },
        [&](double t) { highest = std::max(highest, motion.frame(t).angle); });
    CHECK(highest <= 100.5);
    CHECK_FALSE(motion.showing());
}

TEST_CASE("a fade-out is hidden by its deadline even when frames stop") {
    OverlayMotion motion = liveAt(70, 1.0);
    const double fadeAt = 1.0;
    motion.gateStepped(hiddenOutput(), GateState::clearing, GateState::idle, clearAngle, fadeAt,
                       false);
    REQUIRE(motion.fadingOut());
    REQUIRE(motion.fadeDeadline().has_value());
    CHECK(*motion.fadeDeadline() <= fadeAt + Tuning::fadeTeardownMax);

    SUBCASE("without frames, a sensor sample at the deadline hides it") {
        motion.enforceDeadline(fadeAt + 0.2);
        CHECK(motion.showing());
        motion.enforceDeadline(fadeAt + Tuning::fadeTeardownMax);
        CHECK_FALSE(motion.showing());
        CHECK_FALSE(motion.fadingOut());
        CHECK_FALSE(motion.fadeDeadline().has_value());
        CHECK(motion.animator().opacity() == 0);
    }
    SUBCASE("a second fade-out request keeps the first deadline") {
        const double deadline = *motion.fadeDeadline();
        motion.gateStepped(hiddenOutput(), GateState::idle, GateState::idle, clearAngle,
                           fadeAt + 0.3, false);
        CHECK(motion.fadeDeadline() == deadline);
        motion.enforceDeadline(fadeAt + Tuning::fadeTeardownMax);
        CHECK_FALSE(motion.showing());
    }
    SUBCASE("a frame at the deadline hides it even while the fade is still under way") {
        // A sample stamped well behind the display clock starts a fade whose
        // deadline comes before the fade itself could finish.
        OverlayMotion late = liveAt(70, 1.0);
        late.gateStepped(hiddenOutput(), GateState::clearing, GateState::idle, clearAngle,
                         fadeAt - 0.3, false);
        const double deadline = *late.fadeDeadline();
        drive(
            fadeAt + 1e-6, deadline - 1e-6, 60, [](double) {},
            [&](double t) { CHECK(late.frame(t).opacity > 0); });
        REQUIRE(late.showing());
        const FoldAnimator::Frame last = late.frame(deadline);
        CHECK(last.opacity > 0);
        CHECK_FALSE(late.showing());
    }
    SUBCASE("with frames running, the fade completes and hides it well before the deadline") {
        double hiddenAt = inf;
        double previous = 1;
        // The gate keeps stepping on every sample; its repeated requests must
        // not hold the fade back.
        drive(
            fadeAt + 1e-6, fadeAt + 1, 60,
            [&](double t) {
                motion.sample(70, t);
                motion.gateStepped(hiddenOutput(), GateState::idle, GateState::idle, clearAngle, t,
                                   false);
                motion.enforceDeadline(t);
            },
            [&](double t) {
                const FoldAnimator::Frame f = motion.frame(t);
                CHECK(f.opacity <= previous);
                previous = f.opacity;
                if (!motion.showing() && hiddenAt == inf) {
                    hiddenAt = t;
                }
            });
        CHECK(hiddenAt <= fadeAt + Tuning::clearDuration + 1.0 / 60);
        CHECK(hiddenAt >= fadeAt + Tuning::clearDuration - 1.0 / 60);
    }
}

TEST_CASE("a hard hide and a frozen overlay that is no longer shown go at once") {
    SUBCASE("a hard hide while live, even with a visible output") {
        OverlayMotion motion = liveAt(70, 0.5);
        motion.gateStepped(visibleOutput(), GateState::folding, GateState::folding, clearAngle, 0.5,
                           true);
        CHECK_FALSE(motion.showing());
        CHECK_FALSE(motion.fadingOut());
        CHECK(motion.frame(0.53).opacity == 0);
        CHECK_FALSE(motion.showing());
    }
    SUBCASE("a hard hide during a fade-out") {
        OverlayMotion motion = liveAt(70, 0.5);
        motion.gateStepped(hiddenOutput(), GateState::clearing, GateState::idle, clearAngle, 0.5,
                           false);
        REQUIRE(motion.fadingOut());
        motion.gateStepped(hiddenOutput(), GateState::idle, GateState::idle, clearAngle, 0.51,
                           true);
        CHECK_FALSE(motion.showing());
        CHECK_FALSE(motion.fadeDeadline().has_value());
    }
    SUBCASE("a frozen overlay on an invisible output") {
        OverlayMotion motion = liveAt(45, 0.5);
        motion.gateStepped(frozenOutput(), GateState::settling, GateState::cover, clearAngle, 0.5,
                           false);
        REQUIRE(motion.frozen());
        REQUIRE(motion.showing());
        CHECK_FALSE(motion.isLive());
        motion.gateStepped(hiddenOutput(), GateState::cover, GateState::idle, clearAngle, 0.6,
                           false);
        CHECK_FALSE(motion.showing());
        CHECK_FALSE(motion.fadingOut());
        CHECK_FALSE(motion.frozen());
        CHECK(motion.frame(0.61).opacity == 0);
    }
    SUBCASE("hideNow keeps the target and the displayed angle") {
        OverlayMotion motion = liveAt(70, 0.5);
        const double angle = motion.animator().angle();
        const double target = motion.animator().targetAngle();
        motion.hideNow();
        CHECK_FALSE(motion.showing());
        CHECK(motion.animator().angle() == angle);
        CHECK(motion.animator().targetAngle() == target);
        CHECK(motion.animator().opacity() == 0);
        CHECK_FALSE(motion.animator().lastFrameTime().has_value());
    }
    SUBCASE("an invisible output with nothing showing changes nothing") {
        OverlayMotion motion;
        motion.sample(70, 0);
        const OverlayMotion before = motion;
        motion.gateStepped(hiddenOutput(), GateState::idle, GateState::idle, clearAngle, 0.1,
                           false);
        motion.gateStepped(hiddenOutput(), GateState::idle, GateState::idle, clearAngle, 0.2, true);
        CHECK(motion == before);
    }
}

TEST_CASE("re-showing during a fade-out ramps the opacity back from where it was") {
    OverlayMotion motion = liveAt(70, 1.0);
    std::vector<double> opacities;
    const auto draw = [&](double t) {
        opacities.push_back(motion.frame(t).opacity);
        CHECK(motion.showing());
    };
    motion.gateStepped(hiddenOutput(), GateState::clearing, GateState::idle, clearAngle, 1.0,
                       false);
    drive(
        1.0 + 1e-6, 1.08, 60, [](double) {}, draw);
    const double lowBefore = opacities.back();
    REQUIRE(lowBefore < 0.9);
    REQUIRE(lowBefore > 0.1);

    motion.gateStepped(visibleOutput(), GateState::idle, GateState::arming, clearAngle, 1.08,
                       false);
    CHECK_FALSE(motion.fadingOut());
    CHECK_FALSE(motion.fadeDeadline().has_value());
    CHECK(motion.isLive());
    CHECK(motion.animator().opacity() == lowBefore); // no jump on the step itself
    const std::size_t reshownAt = opacities.size();
    drive(
        1.08 + 1e-6, 1.6, 60, [](double) {}, draw);
    // The fall carries on for a moment and turns, rather than kinking upward.
    CHECK(opacities[reshownAt] < lowBefore);
    CHECK(*std::min_element(opacities.begin(), opacities.end()) > 0);
    for (std::size_t i = 1; i < opacities.size(); ++i) {
        CAPTURE(i);
        CHECK(std::abs(opacities[i] - opacities[i - 1]) < 0.15);
    }
    CHECK(opacities.back() == 1);
    // Well past the old deadline and still up.
    motion.enforceDeadline(2.0);
    CHECK(motion.showing());
}

TEST_CASE("how the sheet comes on screen") {
    SUBCASE("a live fold appears unfolded, opaque at once, then folds down onto the lid") {
        OverlayMotion motion;
        motion.sample(60, 0);
        motion.gateStepped(visibleOutput(), GateState::arming, GateState::folding, clearAngle, 0,
                           false);
        CHECK(motion.isLive());
        CHECK(motion.animator().angle() == clearAngle);
        CHECK(motion.frame(0).opacity == 1);
        CHECK(motion.frame(0).angle == clearAngle);
        double previous = clearAngle;
        const auto draw = [&](double t) {
            const double angle = motion.frame(t).angle;
            CHECK(angle <= previous + 0.05); // only the spring's last small settle
            CHECK(angle >= 60 - 0.5);
            previous = angle;
        };
        drive(
            1e-6, 0.6, 60, [&](double t) { motion.sample(60, t); }, draw);
        CHECK(previous == doctest::Approx(60).epsilon(1e-4));
        // Once samples pause, the settled sheet sits exactly on the lid, so a
        // still sheet repeats the very same frame.
        drive(
            0.6 + 1e-6, 1.0, 60, [](double) {}, draw);
        CHECK(previous == 60);
        CHECK(motion.frame(1.1).velocity == 0);
    }
    SUBCASE("above the clear angle it appears where the lid is") {
        OverlayMotion motion;
        motion.sample(104, 0);
        motion.gateStepped(visibleOutput(), GateState::arming, GateState::folding, clearAngle, 0,
                           false);
        CHECK(motion.animator().angle() == 104);
    }
    SUBCASE("a cover appears frozen and opaque; a live fold out of it restarts folded") {
        OverlayMotion motion;
        motion.sample(45, 0);
        motion.gateStepped(frozenOutput(), GateState::arming, GateState::cover, clearAngle, 0,
                           false);
        CHECK(motion.frozen());
        CHECK(motion.frame(0.01).opacity == 1);
        motion.sample(60, 0.5);
        motion.gateStepped(frozenOutput(), GateState::cover, GateState::arming, clearAngle, 0.5,
                           false);
        CHECK(motion.frozen());
        motion.gateStepped(visibleOutput(), GateState::arming, GateState::folding, clearAngle, 0.52,
                           false);
        CHECK(motion.isLive());
        CHECK(motion.animator().angle() == Tuning::closedCap);
        CHECK(motion.frame(0.53).angle == Tuning::closedCap);
        CHECK(motion.frame(0.55).angle > Tuning::closedCap);
        CHECK(motion.frame(0.55).opacity == 1);
    }
    SUBCASE("coming on screen in the clearing state fades straight out again") {
        OverlayMotion motion;
        motion.sample(95, 0);
        motion.gateStepped(visibleOutput(), GateState::settling, GateState::clearing, clearAngle, 0,
                           false);
        CHECK(motion.frame(0).opacity == 1);
        CHECK(motion.animator().opacityTarget() == 0);
        double last = 1;
        drive(
            1e-6, 0.5, 60, [](double) {}, [&](double t) { last = motion.frame(t).opacity; });
        CHECK(last == 0);
    }
}

TEST_CASE("opacity ramps") {
    FoldAnimator animator;
    animator.ingest(70, 0);
    animator.advance(0);
    animator.setOpacity(1);

    SUBCASE("a full fade takes the clear duration and ends exactly") {
        animator.fade(0);
        CHECK(animator.advance(Tuning::clearDuration - 0.01).opacity > 0);
        CHECK(animator.advance(Tuning::clearDuration).opacity == 0);
        CHECK(animator.opacityVelocity() == 0);
    }
    SUBCASE("a small fade still takes a visible while") {
        animator.fade(0.9);
        CHECK(animator.advance(Tuning::clearDuration / 4).opacity > 0.9);
        CHECK(animator.advance(Tuning::clearDuration / 2).opacity == doctest::Approx(0.9));
    }
    SUBCASE("fading again to the same value does not restart the ramp") {
        animator.fade(0);
        animator.advance(Tuning::clearDuration * 0.9);
        const double nearlyGone = animator.opacity();
        REQUIRE(nearlyGone > 0);
        animator.fade(0);
        CHECK(animator.opacity() == nearlyGone);
        CHECK(animator.advance(Tuning::clearDuration).opacity == 0);
    }
    SUBCASE("values outside 0...1 are clamped") {
        animator.fade(5);
        CHECK(animator.opacityTarget() == 1);
        animator.setOpacity(-2);
        CHECK(animator.opacity() == 0);
        animator.fade(-3);
        CHECK(animator.opacityTarget() == 0);
    }
}

TEST_CASE("non-finite inputs are ignored") {
    const double bad[] = {notANumber, inf, -inf};
    FoldAnimator animator;
    animator.ingest(70, 0);
    animator.advance(0);
    animator.ingest(69, 0.01);
    animator.advance(0.01);
    animator.setOpacity(0.5);
    animator.fade(1);
    const FoldAnimator before = animator;
    for (const double x : bad) {
        CAPTURE(x);
        FoldAnimator a = before;
        a.ingest(x, 0.02);
        CHECK(a == before);
        a.ingest(60, x);
        CHECK(a == before);
        a.setTarget(x, 0.02);
        a.setTarget(60, x);
        CHECK(a == before);
        a.place(x, 0);
        a.place(60, x);
        CHECK(a == before);
        a.fade(x);
        a.setOpacity(x);
        CHECK(a == before);
        const FoldAnimator::Frame f = a.advance(x);
        CHECK(a == before);
        CHECK(finite(f));
        CHECK(std::isfinite(a.predictedTarget(x)));
    }
    SUBCASE("absurd but finite inputs keep everything finite") {
        FoldAnimator a;
        a.ingest(70, 0);
        a.ingest(71, std::numeric_limits<double>::denorm_min());
        CHECK(finite(a));
        a.ingest(1e308, 0.01);
        a.ingest(-1e308, 0.02);
        a.place(1e308, -1e308);
        CHECK(finite(a.advance(0.03)));
        CHECK(finite(a.advance(0.04)));
        CHECK(finite(a));
    }
    SUBCASE("an unprimed animator stays unprimed") {
        FoldAnimator fresh;
        fresh.ingest(notANumber, 0);
        fresh.ingest(50, inf);
        CHECK_FALSE(fresh.isPrimed());
    }
    SUBCASE("the overlay") {
        OverlayMotion motion = liveAt(70, 0.5);
        const OverlayMotion live = motion;
        for (const double x : bad) {
            motion.sample(x, 0.51);
            motion.sample(60, x);
            motion.target(x, 0.51);
            motion.target(60, x);
            motion.frame(x);
            motion.enforceDeadline(x);
            CHECK(motion == live);
        }
        // A visible output with a bad time or clear angle still shows a finite sheet.
        OverlayMotion fresh;
        fresh.sample(60, 0);
        fresh.gateStepped(visibleOutput(), GateState::arming, GateState::folding, notANumber,
                          notANumber, false);
        CHECK(fresh.showing());
        CHECK(finite(fresh.frame(0.1)));
        CHECK(finite(fresh.frame(0.12)));
        // A fade-out with no usable time cannot promise a deadline, so it goes at once.
        fresh.gateStepped(hiddenOutput(), GateState::clearing, GateState::idle, clearAngle,
                          notANumber, false);
        CHECK_FALSE(fresh.showing());
    }
}

TEST_CASE("opacity stays within 0...1 and nothing turns NaN under arbitrary calls") {
    Xorshift32 rng(0x0badf00du);
    const auto pick = [&](double low, double high) { return low + (high - low) * rng.uniform(); };
    const auto wild = [&](double low, double high) {
        const std::uint32_t roll = rng.next() % 16;
        if (roll == 0) {
            return notANumber;
        }
        if (roll == 1) {
            return rng.uniform() < 0.5 ? inf : -inf;
        }
        if (roll == 2) {
            return pick(-1e6, 1e6);
        }
        return pick(low, high);
    };
    const GateState states[] = {GateState::idle,     GateState::arming, GateState::folding,
                                GateState::settling, GateState::cover,  GateState::clearing};

    SUBCASE("the overlay") {
        OverlayMotion motion;
        double now = 0;
        for (int i = 0; i < 20000; ++i) {
            now += pick(0, 0.03);
            switch (rng.next() % 7) {
            case 0:
            case 1: {
                const double angle = wild(0, 140);
                motion.sample(angle, rng.next() % 8 == 0 ? wild(0, now) : now);
                break;
            }
            case 2:
                motion.target(wild(0, 140), now);
                break;
            case 3: {
                // One draw per statement keeps the sequence the same whatever
                // order a compiler evaluates arguments in.
                GateOutput output = rng.uniform() < 0.5 ? hiddenOutput() : visibleOutput();
                output.frozen = rng.uniform() < 0.3;
                const GateState from = states[rng.next() % 6];
                const GateState to = states[rng.next() % 6];
                const double clear = wild(70, 130);
                const double time = rng.next() % 8 == 0 ? wild(0, now) : now;
                const bool hardHide = rng.uniform() < 0.1;
                motion.gateStepped(output, from, to, clear, time, hardHide);
                break;
            }
            case 4:
                motion.enforceDeadline(now);
                break;
            case 5:
                if (rng.next() % 50 == 0) {
                    motion.hideNow();
                }
                break;
            default: {
                const FoldAnimator::Frame f =
                    motion.frame(rng.next() % 8 == 0 ? wild(0, now) : now);
                REQUIRE(finite(f));
                REQUIRE(f.opacity >= 0);
                REQUIRE(f.opacity <= 1);
            }
            }
            const FoldAnimator& a = motion.animator();
            REQUIRE(finite(a));
            REQUIRE(a.opacity() >= 0);
            REQUIRE(a.opacity() <= 1);
            REQUIRE(a.opacityTarget() >= 0);
            REQUIRE(a.opacityTarget() <= 1);
            if (!motion.showing()) {
                REQUIRE(a.opacity() == 0);
                REQUIRE_FALSE(motion.fadingOut());
                REQUIRE_FALSE(motion.frozen());
            }
            REQUIRE(motion.fadingOut() == motion.fadeDeadline().has_value());
        }
    }
    SUBCASE("the animator on its own") {
        FoldAnimator animator;
        double now = 0;
        for (int i = 0; i < 20000; ++i) {
            now += pick(0, 0.03);
            switch (rng.next() % 6) {
            case 0:
                animator.ingest(wild(0, 140), now);
                break;
            case 1:
                animator.fade(wild(-0.5, 1.5));
                break;
            case 2:
                animator.setOpacity(wild(-0.5, 1.5));
                break;
            case 3: {
                const double angle = wild(0, 140);
                animator.place(angle, wild(-500, 500));
                break;
            }
            default: {
                const FoldAnimator::Frame f = animator.advance(now);
                REQUIRE(finite(f));
                REQUIRE(f.opacity >= 0);
                REQUIRE(f.opacity <= 1);
            }
            }
            REQUIRE(finite(animator));
        }
    }
}
