// SPDX-License-Identifier: MIT
#include "core/Tuning.h"
#include "motion/FoldMath.h"
#include "motion/SettleSpring.h"
#include "motion/SheetGeometry.h"

#include <doctest/doctest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace orvane;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double renderAspect =
    static_cast<double>(Tuning::renderWidth) / static_cast<double>(Tuning::renderHeight);

// Spring that starts at rest 10 degrees away from its target, stepped at a
// fixed frame length; returns the largest overshoot and the last time it was
// further than `band` from the target.
struct SettleTrace {
    double overshoot = 0;
    double lastOutside = 0;
    double finalValue = 0;
};

SettleTrace settle(double frame, double span, double band) {
    SettleSpring spring{10, 0};
    SettleTrace trace;
    for (double now = frame; now <= span + 1e-12; now += frame) {
        spring.step(0, frame);
        trace.overshoot = std::max(trace.overshoot, -spring.value);
        if (std::abs(spring.value) > band) {
            trace.lastOutside = now;
        }
    }
    trace.finalValue = spring.value;
    return trace;
}

} // namespace

TEST_CASE("close amount follows the lid between the clear angle and the closed cap") {
    const double clear = Tuning::defaultClearAngle;
    for (double p : {0.0, 0.5, 1.0}) {
        CAPTURE(p);
        CHECK(FoldMath::t(clear, clear, p) == 0);
        CHECK(FoldMath::t(clear + 20, clear, p) == 0);
        CHECK(FoldMath::t(Tuning::closedCap, clear, p) == 1);
        CHECK(FoldMath::t(0, clear, p) == 1);
        double previous = 1;
        for (double angle = 0; angle <= 140; angle += 0.5) {
            const double t = FoldMath::t(angle, clear, p);
            CHECK(t <= previous);
            previous = t;
        }
    }
    // Higher perspective stays flatter early in the close.
    CHECK(FoldMath::t(90, clear, 1) < FoldMath::t(90, clear, 0));
    CHECK(FoldMath::t(notANumber, clear, 0.5) == 0);
    CHECK(std::isfinite(FoldMath::t(50, clear, notANumber)));
    CHECK(FoldMath::t(-inf, clear, 0.5) == 1);
}

TEST_CASE("fade is exact at the ends of its band and smooth between") {
    CHECK(FoldMath::fade(90, 100) == 1);
    CHECK(FoldMath::fade(100, 100) == 1);
    CHECK(FoldMath::fade(104, 100) == doctest::Approx(0.5));
    CHECK(FoldMath::fade(108, 100) == 0);
    CHECK(FoldMath::fade(130, 100) == 0);
    for (double angle = 99; angle < 109; angle += 0.1) {
        CHECK(std::abs(FoldMath::fade(angle + 0.1, 100) - FoldMath::fade(angle, 100)) <= 0.05);
    }
    CHECK(FoldMath::fade(notANumber, 100) == 0);
    CHECK(FoldMath::fade(inf, 100) == 0);
    CHECK(FoldMath::fade(-inf, 100) == 1);
}

TEST_CASE("motion blur starts at the still speed and caps") {
    CHECK(FoldMath::motionBlurLength(Tuning::stillVelocity * 0.99) == 0);
    CHECK(FoldMath::motionBlurLength(Tuning::stillVelocity) > 0);
    CHECK(FoldMath::motionBlurLength(-50) == FoldMath::motionBlurLength(50));
    CHECK(FoldMath::motionBlurLength(50) < FoldMath::motionBlurLength(60));
    CHECK(FoldMath::motionBlurLength(100) == doctest::Approx(Tuning::motionBlurMax));
    CHECK(FoldMath::motionBlurLength(500) == Tuning::motionBlurMax);
    CHECK(FoldMath::motionBlurLength(notANumber) == 0);
    CHECK(FoldMath::motionBlurLength(-inf) == Tuning::motionBlurMax);
}

TEST_CASE("a half-folded sheet is visibly curved and rises from hinge to far edge") {
    const SheetGeometry g(0.6, 0.5, renderAspect);
    const NdcPoint far = g.project(g.point({0.5, 1}));
    double previousY = -2;
    double largestDeparture = 0;
    for (int i = 0; i <= 64; ++i) {
        const double v = i / 64.0;
        const NdcPoint p = g.project(g.point({0.5, v}));
        CHECK(p.y > previousY);
        previousY = p.y;
        // Distance in screen heights from the straight line joining hinge and far edge.
        const double onChord = -1 + (far.y + 1) * v;
        largestDeparture = std::max(largestDeparture, std::abs(p.y - onChord) / 2);
    }
    CHECK(largestDeparture > 0.005);
    // A tilted plane would narrow linearly in depth; the bend does not.
    const double mid = g.project(g.point({1, 0.5})).x;
    const double linear = (1 + g.farEdge().halfWidth) / 2;
    CHECK(std::abs(mid - linear) > 0.005);
}

TEST_CASE("the edge table agrees with the projected sheet") {
    for (double t : {0.0, 0.3, 0.6, 1.0}) {
        CAPTURE(t);
        const SheetGeometry g(t, 0.5, renderAspect);
        const std::vector<float> table = g.edgeTable(Tuning::edgeTableCount);
        REQUIRE(table.size() == 32);
        CHECK(table.front() == doctest::Approx(1).epsilon(1e-6));
        CHECK(table.back() == doctest::Approx(g.farEdge().halfWidth).epsilon(1e-5));
        // Each entry is the half-width of the sheet where it crosses that height:
        // walk the sheet finely and compare with the nearest crossing.
        const double top = g.farEdge().y;
        for (std::size_t i = 0; i < table.size(); ++i) {
            const double target = -1 + (top + 1) * static_cast<double>(i) / 31.0;
            double lo = 0;
            for (int step = 1; step <= 4000; ++step) {
                const double v = step / 4000.0;
                if (g.project(g.point({1, v})).y >= target) {
                    break;
                }
                lo = v;
            }
            const NdcPoint crossing = g.project(g.point({1, lo}));
            CHECK(table[i] == doctest::Approx(crossing.x).epsilon(2e-3));
        }
    }
    CHECK(SheetGeometry(0.5, 0.5, renderAspect).edgeTable(0).size() == 2);
    CHECK(SheetGeometry(0.5, 0.5, renderAspect).edgeTable(1).size() == 2);
    CHECK(SheetGeometry(0.5, 0.5, renderAspect).edgeTable(-4).size() == 2);
}

TEST_CASE("geometry stays finite on bad inputs") {
    for (double bad : {notANumber, inf, -inf, 0.0, -2.0}) {
        CAPTURE(bad);
        const SheetGeometry byAspect(0.5, 0.5, bad);
        CHECK(byAspect.height() == 2);
        const SheetGeometry byT(bad, bad, renderAspect);
        for (const SheetGeometry& g : {byAspect, byT}) {
            const FarEdge far = g.farEdge();
            CHECK(std::isfinite(far.y));
            CHECK(std::isfinite(far.halfWidth));
            for (float entry : g.edgeTable(8)) {
                CHECK(std::isfinite(entry));
            }
            CHECK(std::isfinite(g.textureV(0.5)));
        }
    }
}

TEST_CASE("the settle spring is underdamped and independent of the frame rate") {
    const SettleTrace at60 = settle(1.0 / 60, 1.0, 0.1);
    const SettleTrace at240 = settle(1.0 / 240, 1.0, 0.1);
    CHECK(at60.finalValue == doctest::Approx(at240.finalValue).epsilon(1e-9));
    for (const SettleTrace& trace : {at60, at240}) {
        CHECK(trace.overshoot > 0.1);
        CHECK(trace.overshoot < 1.5);
        CHECK(trace.lastOutside <= 0.5);
        CHECK(std::abs(trace.finalValue) < 0.01);
    }

    SettleSpring one{10, 0};
    one.step(0, 0.5);
    SettleSpring many{10, 0};
    for (int i = 0; i < 37; ++i) {
        many.step(0, 0.5 / 37);
    }
    CHECK(one.value == doctest::Approx(many.value).epsilon(1e-9));
    CHECK(one.velocity == doctest::Approx(many.velocity).epsilon(1e-9));
}

TEST_CASE("the settle spring ignores steps it cannot take") {
    for (double dt : {0.0, -1.0, 1e-10, notANumber, inf}) {
        SettleSpring spring{5, 2};
        spring.step(0, dt);
        CHECK(spring.value == 5);
        CHECK(spring.velocity == 2);
    }
    SettleSpring spring{5, 2};
    spring.step(notANumber, 0.1);
    spring.step(inf, 0.1);
    CHECK(spring.value == 5);
    // A long stall converges rather than blowing up.
    spring.step(1, 1000);
    CHECK(spring.value == doctest::Approx(1));
}
