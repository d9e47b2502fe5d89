// SPDX-License-Identifier: MIT
// The overlay's motion: the gate's steps and the display's frames turned into
// showing, fading and hiding the sheet.
#include "core/Tuning.h"
#include "core/Xorshift.h"
#include "motion/FoldAnimator.h"
#include "motion/MotionGate.h"
#include "motion/OverlayMotion.h"
#include "support/MotionDrive.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace orvane;
using namespace orvane::test;
using enum GateState;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double clearAngle = Tuning::defaultClearAngle;

// What the gate asks of the overlay: the sheet shown live, shown frozen, or hidden.
GateOutput gateOutput(bool visible, bool frozen = false) {
    GateOutput output{};
    output.overlayVisible = visible;
    output.opacity = visible ? 1 : 0;
    output.frozen = frozen;
    output.wantsCapture = visible && !frozen;
    output.sensorRate = output.wantsCapture ? SensorRate::active : SensorRate::idle;
    return output;
}
const GateOutput shown = gateOutput(true);
const GateOutput frozenSheet = gateOutput(true, true);
const GateOutput hidden = gateOutput(false);

void step(OverlayMotion& motion, const GateOutput& output, GateState from, GateState to,
          double time, bool hardHide = false) {
    motion.gateStepped(output, from, to, clearAngle, time, hardHide);
}

// A live overlay on a lid resting at `angle`, drawn at 60 Hz up to `until`,
// with the sheet already folded onto the lid.
OverlayMotion liveAt(double angle, double until) {
    OverlayMotion motion;
    motion.sample(angle, 0);
    step(motion, shown, arming, folding, 0);
    drive(
        0, until, 60, [&](double t) { motion.sample(angle, t); },
        [&](double t) { motion.frame(t); });
    return motion;
}

} // namespace

TEST_CASE("a fade-out caught by a stalled refresh is gone on the first frame after it") {
    OverlayMotion motion = liveAt(70, 0.5);
    step(motion, hidden, clearing, idle, 0.5);
    REQUIRE(motion.showing());
    motion.frame(1.5);
    CHECK_FALSE(motion.showing());
    CHECK(motion.frame(1.52).opacity == 0);
}

TEST_CASE("a preview slider from 100 to 55 settles without overshoot and fades out at its end") {
    const double lid = clearAngle;
    OverlayMotion motion;
    motion.sample(lid, 0);
    motion.target(100, 0.1);
    step(motion, shown, idle, idle, 0.1);
    drive(
        0.1, 0.5, 60, [&](double t) { motion.target(100, t); }, [&](double t) { motion.frame(t); });
    REQUIRE(motion.animator().angle() == doctest::Approx(100));

    motion.target(55, 0.5);
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
    step(motion, hidden, idle, idle, 2.0);
    double highest = 0;
    drive(
        2.0 + 1e-6, 3.5, 60,
        [&](double t) {
            motion.sample(lid, t);
            motion.enforceDeadline(t);
        },
        [&](double t) { highest = std::max(highest, motion.frame(t).angle); });
    CHECK(highest <= 100.5);
    CHECK_FALSE(motion.showing());
}

TEST_CASE("a fade-out is hidden by its deadline even when frames stop") {
    OverlayMotion motion = liveAt(70, 1.0);
    const double fadeAt = 1.0;
    step(motion, hidden, clearing, idle, fadeAt);
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
}

TEST_CASE("a hidden or no longer shown overlay goes at once") {
    SUBCASE("a hard hide, even with a visible output") {
        OverlayMotion motion = liveAt(70, 0.5);
        step(motion, shown, folding, folding, 0.5, true);
        CHECK_FALSE(motion.showing());
        CHECK(motion.frame(0.53).opacity == 0);
    }
    SUBCASE("hideNow keeps the displayed angle and the target; the next frame moves nothing") {
        OverlayMotion motion = liveAt(70, 0.5);
        motion.target(40, 0.51);
        motion.frame(0.52);
        const double before = motion.animator().angle();
        REQUIRE(before < 70);
        motion.hideNow();
        CHECK_FALSE(motion.showing());
        CHECK(motion.animator().opacity() == 0);
        CHECK(motion.frame(0.53).angle == before);
        CHECK(motion.animator().angle() == before);
        CHECK(motion.animator().targetAngle() == 40);
    }
}

TEST_CASE("re-showing during a fade-out ramps the opacity back from where it was") {
    OverlayMotion motion = liveAt(70, 1.0);
    std::vector<double> opacities;
    const auto draw = [&](double t) {
        opacities.push_back(motion.frame(t).opacity);
        CHECK(motion.showing());
    };
    step(motion, hidden, clearing, idle, 1.0);
    framesOnly(1.0 + 1e-6, 1.08, draw);
    const double lowBefore = opacities.back();
    REQUIRE(lowBefore < 0.9);
    REQUIRE(lowBefore > 0.1);

    step(motion, shown, idle, arming, 1.08);
    CHECK_FALSE(motion.fadingOut());
    CHECK_FALSE(motion.fadeDeadline().has_value());
    CHECK(motion.isLive());
    CHECK(motion.animator().opacity() == lowBefore); // no jump on the step itself
    const std::size_t reshownAt = opacities.size();
    framesOnly(1.08 + 1e-6, 1.6, draw);
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
    OverlayMotion motion;
    SUBCASE("a live fold appears unfolded, opaque at once, then folds down onto the lid") {
        motion.sample(60, 0);
        step(motion, shown, arming, folding, 0);
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
        framesOnly(0.6 + 1e-6, 1.0, draw);
        CHECK(previous == 60);
        CHECK(motion.frame(1.1).velocity == 0);
    }
    SUBCASE("above the clear angle it appears where the lid is") {
        motion.sample(104, 0);
        step(motion, shown, arming, folding, 0);
        CHECK(motion.animator().angle() == 104);
    }
    SUBCASE("a cover appears frozen and opaque; a live fold out of it restarts folded") {
        motion.sample(45, 0);
        step(motion, frozenSheet, arming, cover, 0);
        CHECK(motion.frozen());
        CHECK(motion.frame(0.01).opacity == 1);
        motion.sample(60, 0.5);
        step(motion, frozenSheet, cover, arming, 0.5);
        CHECK(motion.frozen());
        step(motion, shown, arming, folding, 0.52);
        CHECK(motion.isLive());
        CHECK(motion.animator().angle() == Tuning::closedCap);
        CHECK(motion.frame(0.53).angle == Tuning::closedCap);
        CHECK(motion.frame(0.55).angle > Tuning::closedCap);
        CHECK(motion.frame(0.55).opacity == 1);
    }
    SUBCASE("coming on screen in the clearing state fades straight out again") {
        motion.sample(95, 0);
        step(motion, shown, settling, clearing, 0);
        CHECK(motion.frame(0).opacity == 1);
        CHECK(motion.animator().opacityTarget() == 0);
        double last = 1;
        framesOnly(1e-6, 0.5, [&](double t) { last = motion.frame(t).opacity; });
        CHECK(last == 0);
    }
}

TEST_CASE("non-finite inputs leave the overlay as it was") {
    OverlayMotion motion = liveAt(70, 0.5);
    const OverlayMotion live = motion;
    for (const double x : {notANumber, inf, -inf}) {
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
    fresh.gateStepped(shown, arming, folding, notANumber, notANumber, false);
    CHECK(fresh.showing());
    CHECK(finite(fresh.frame(0.1)));
    CHECK(finite(fresh.frame(0.12)));
    // A fade-out with no usable time cannot promise a deadline, so it goes at once.
    step(fresh, hidden, clearing, idle, notANumber);
    CHECK_FALSE(fresh.showing());
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
        return roll == 2 ? pick(-1e6, 1e6) : pick(low, high);
    };
    const GateState states[] = {idle, arming, folding, settling, cover, clearing};
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
            GateOutput output = rng.uniform() < 0.5 ? hidden : shown;
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
            const FoldAnimator::Frame f = motion.frame(rng.next() % 8 == 0 ? wild(0, now) : now);
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
