// SPDX-License-Identifier: MIT
// The fold animator: irregular lid samples in, one angle and opacity per
// display refresh out.
#include "core/Tuning.h"
#include "core/Xorshift.h"
#include "motion/FoldAnimator.h"
#include "sensor/AngleFilter.h"
#include "support/MotionDrive.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double sensorHz = Tuning::sensorHzActive;

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

} // namespace

TEST_CASE("the first frame after priming, a stop or a placement only records its time") {
    FoldAnimator animator;
    animator.ingest(80, 1.0);
    animator.ingest(60, 1.01); // the target is now far from the display

    SUBCASE("after priming") {
        const FoldAnimator::Frame first = animator.advance(1.02);
        CHECK(first.angle == 80);
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
    SUBCASE("no frame moves an animator that has no sample yet") {
        FoldAnimator fresh;
        fresh.place(50, 0);
        CHECK(fresh.advance(1).angle == 50);
        CHECK(fresh.advance(2).angle == 50);
        CHECK_FALSE(fresh.lastFrameTime().has_value());
    }
}

TEST_CASE("after frames stall the display lands on the target, never past the lid") {
    SUBCASE("samples go on through the stall while the lid still moves") {
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
    const auto rawLid = [](double t) {
        if (t < 1.2) {
            const double s = std::clamp((t - 0.2) / 0.8, 0.0, 1.0);
            return 115 - 65 * s * s * (3 - 2 * s);
        }
        return std::clamp(50 + 150 * (t - 1.4), 50.0, 110.0);
    };
    // The displayed angle on the 30 Hz grid that every rate shares. Sampling at
    // the slowest refresh rate, half a 240 Hz frame after its ticks, gives every
    // display the same targets over each of its frames.
    const auto curve = [&](double frameHz) {
        FoldAnimator animator;
        AngleFilter filter;
        std::vector<double> angles;
        drive(
            0, 2.4, frameHz,
            [&](double t) { animator.ingest(filter.ingest(rawLid(t), t).angle, t); },
            [&](double t) {
                const double angle = animator.advance(t).angle;
                if (t * 30 == std::round(t * 30)) {
                    angles.push_back(angle);
                }
            },
            Tuning::sensorHzAccordion, 0.5 / 240);
        return angles;
    };
    const std::vector<double> reference = curve(240);
    double travelled = 0;
    for (std::size_t i = 1; i < reference.size(); ++i) {
        travelled += std::abs(reference[i] - reference[i - 1]);
    }
    REQUIRE(travelled > 100);
    for (const double hz : {30.0, 60.0, 120.0}) {
        CAPTURE(hz);
        const std::vector<double> angles = curve(hz);
        REQUIRE(angles.size() == reference.size());
        for (std::size_t i = 0; i < angles.size(); ++i) {
            CHECK(std::abs(angles[i] - reference[i]) < 0.01);
        }
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
    SUBCASE("asking again for the same value, however often, does not restart the ramp") {
        animator.fade(0);
        for (double t = 0; t < Tuning::clearDuration; t += 1.0 / 120) {
            animator.advance(t);
            animator.fade(0);
        }
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
    FoldAnimator animator;
    animator.ingest(70, 0);
    animator.advance(0);
    animator.ingest(69, 0.01);
    animator.advance(0.01);
    animator.setOpacity(0.5);
    animator.fade(1);
    const FoldAnimator before = animator;
    for (const double x : {notANumber, inf, -inf}) {
        CAPTURE(x);
        FoldAnimator a = before;
        a.ingest(x, 0.02);
        a.ingest(60, x);
        a.setTarget(x, 0.02);
        a.setTarget(60, x);
        a.place(x, 0);
        a.place(60, x);
        a.fade(x);
        a.setOpacity(x);
        CHECK(finite(a.advance(x)));
        CHECK(a == before);
        CHECK(std::isfinite(a.predictedTarget(x)));
        FoldAnimator fresh;
        fresh.ingest(x, 0);
        fresh.ingest(50, x);
        CHECK_FALSE(fresh.isPrimed());
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
}
