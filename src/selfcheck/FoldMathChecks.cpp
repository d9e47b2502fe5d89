// SPDX-License-Identifier: MIT
// The fold's mathematics: close amount, fade, blur, the settle spring, and the
// bent sheet's projection, stretch and edge table.
#include "selfcheck/MotionChecks.h"

#include "core/Tuning.h"
#include "motion/FoldMath.h"
#include "motion/SettleSpring.h"
#include "motion/SheetGeometry.h"
#include "selfcheck/CheckText.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace orvane {

namespace {

using CheckText::measured;
using CheckText::number;

constexpr double renderAspect =
    static_cast<double>(Tuning::renderWidth) / static_cast<double>(Tuning::renderHeight);
constexpr double perspective = Tuning::renderSliderDefault;
constexpr double clearAngle = Tuning::defaultClearAngle;
constexpr double sweepStep = 0.1; // degrees between the angles a sweep visits
constexpr double sweepTop = 180;

void closeAmountChecks(Reporter& r) {
    std::string wrong;
    for (double p : {0.0, 0.5, 1.0}) {
        for (double clear : {Tuning::minClearAngle, clearAngle, Tuning::maxClearAngle}) {
            double previous = 1;
            for (double angle = 0; angle <= sweepTop; angle += sweepStep) {
                const double t = FoldMath::t(angle, clear, p);
                const std::string at = " at " + number(angle) + " deg, clear " + number(clear);
                if (t > previous) {
                    wrong = "t rose from " + number(previous) + " to " + number(t) + at;
                } else if (angle >= clear && t != 0) {
                    wrong = measured("t", t, "!=", 0) + at;
                } else if (angle <= Tuning::closedCap && t != 1) {
                    wrong = measured("t", t, "!=", 1) + at;
                }
                previous = t;
            }
        }
    }
    r.check(wrong.empty(), "foldmath_close_amount_limits", wrong);

    // Whole angles land exactly on the band's ends; between, 0.1 deg moves it at most 0.05.
    constexpr double fadeStepLimit = 0.05;
    wrong.clear();
    double largest = 0;
    for (double angle = clearAngle - Tuning::fadeBand; angle <= clearAngle + 2 * Tuning::fadeBand;
         angle += sweepStep) {
        largest = std::max(largest, std::abs(FoldMath::fade(angle + sweepStep, clearAngle) -
                                             FoldMath::fade(angle, clearAngle)));
    }
    for (double angle : {clearAngle - 30, clearAngle - 1, clearAngle}) {
        if (FoldMath::fade(angle, clearAngle) != 1) {
            wrong = measured("fade", FoldMath::fade(angle, clearAngle), "!=", 1) + " at " +
                    number(angle) + " deg";
        }
    }
    for (double angle : {clearAngle + Tuning::fadeBand, clearAngle + 30}) {
        if (FoldMath::fade(angle, clearAngle) != 0) {
            wrong = measured("fade", FoldMath::fade(angle, clearAngle), "!=", 0) + " at " +
                    number(angle) + " deg";
        }
    }
    if (largest > fadeStepLimit) {
        wrong = measured("fade step over 0.1 deg", largest, ">", fadeStepLimit);
    }
    r.check(wrong.empty(), "foldmath_fade_band", wrong);

    struct Blur {
        double velocity;
        double expected;
    };
    constexpr double slower = 1.49;
    constexpr double moderate = -50;
    constexpr double fast = 500;
    wrong.clear();
    for (const Blur& blur :
         {Blur{slower, 0}, Blur{moderate, 0.009}, Blur{fast, Tuning::motionBlurMax}}) {
        const double length = FoldMath::motionBlurLength(blur.velocity);
        if (std::abs(length - blur.expected) > 1e-12) {
            wrong = "blur at " + number(blur.velocity) + " deg/s is " + number(length) + ", want " +
                    number(blur.expected);
        }
    }
    if (!(FoldMath::motionBlurLength(Tuning::stillVelocity) > 0)) {
        wrong = "no blur at the still speed itself";
    }
    r.check(wrong.empty(), "foldmath_motion_blur", wrong);
}

// A spring at rest 10 degrees from its target, stepped at one frame length.
struct SpringRun {
    double overshoot = 0;
    double lastOutside = 0; // last time further than the settle band from the target
    double value = 0;
};

SpringRun settleSpring(double frame, double span, double band) {
    constexpr double start = 10;
    SettleSpring spring{start, 0};
    SpringRun run;
    const auto frames = static_cast<int>(std::lround(span / frame));
    for (int i = 1; i <= frames; ++i) {
        spring.step(0, frame);
        run.overshoot = std::max(run.overshoot, -spring.value);
        if (std::abs(spring.value) > band) {
            run.lastOutside = i * frame;
        }
    }
    run.value = spring.value;
    return run;
}

void springChecks(Reporter& r) {
    constexpr double span = 1.0;
    constexpr double band = 0.1;
    constexpr double settleBy = 0.5;
    constexpr double overshootMin = 0.1;
    constexpr double overshootMax = 1.5;
    const std::vector<double> frames{1.0 / 30, 1.0 / 60, 1.0 / 120, 1.0 / 240};

    const double at60 = settleSpring(1.0 / 60, span, band).value;
    const double at240 = settleSpring(1.0 / 240, span, band).value;
    r.check(std::abs(at60 - at240) <= 1e-9, "spring_frame_rate_independent",
            measured("60 Hz and 240 Hz differ by", std::abs(at60 - at240), ">", 1e-9, " deg"));

    std::string over;
    std::string late;
    for (double frame : frames) {
        const SpringRun run = settleSpring(frame, span, band);
        if (run.overshoot < overshootMin || run.overshoot > overshootMax) {
            over = measured("overshoot", run.overshoot, "outside", overshootMin, " deg") + "..." +
                   number(overshootMax) + " at " + number(1 / frame) + " Hz";
        }
        if (run.lastOutside > settleBy) {
            late = measured("settled at", run.lastOutside, ">", settleBy, " s") + " at " +
                   number(1 / frame) + " Hz";
        }
    }
    r.check(over.empty(), "spring_underdamped_overshoot", over);
    r.check(late.empty(), "spring_settles_in_time", late);
}

// NDC height and half-width of the far edge as a fraction of the screen.
FarEdge farEdgeAt(double angle) {
    return SheetGeometry(FoldMath::t(angle, clearAngle, perspective), perspective, renderAspect)
        .farEdge();
}

void geometryChecks(Reporter& r) {
    constexpr int meshSteps = 16;
    std::string wrong;
    const SheetGeometry flat(0, perspective, renderAspect);
    for (int i = 0; i <= meshSteps; ++i) {
        for (int j = 0; j <= meshSteps; ++j) {
            const SheetUV uv{static_cast<double>(i) / meshSteps,
                             static_cast<double>(j) / meshSteps};
            const NdcPoint p = flat.project(flat.point(uv));
            if (std::abs(p.x - (2 * uv.u - 1)) > 1e-12 || std::abs(p.y - (2 * uv.v - 1)) > 1e-12) {
                wrong = "flat point (" + number(uv.u) + ", " + number(uv.v) + ") projects to (" +
                        number(p.x) + ", " + number(p.y) + ")";
            }
        }
    }
    r.check(wrong.empty(), "fold_geometry_flat_at_zero", wrong);

    wrong.clear();
    for (int i = 0; i <= meshSteps; ++i) {
        const SheetGeometry g(static_cast<double>(i) / meshSteps, perspective, renderAspect);
        for (double u : {0.0, 0.5, 1.0}) {
            const double y = g.project(g.point({u, 0})).y;
            if (std::abs(y + 1) > 1e-12) {
                wrong = measured("hinge at", y, "!=", -1) + " for t " + number(g.t());
            }
        }
    }
    r.check(wrong.empty(), "fold_geometry_hinge_fixed", wrong);

    // The far corner's size where a user sees it most: 70 and 50 degrees.
    struct Corner {
        double angle;
        double widthMin, widthMax;
        double heightMin, heightMax; // fraction of the screen height from the bottom
    };
    wrong.clear();
    for (const Corner& c : {Corner{70, 0.70, 0.80, 0, 1}, Corner{50, 0.55, 0.65, 0.45, 0.66}}) {
        const FarEdge far = farEdgeAt(c.angle);
        const double height = (far.y + 1) / 2;
        if (far.halfWidth < c.widthMin || far.halfWidth > c.widthMax) {
            wrong = measured("half-width", far.halfWidth, "outside", c.widthMin) + "..." +
                    number(c.widthMax) + " at " + number(c.angle) + " deg";
        } else if (height < c.heightMin || height > c.heightMax) {
            wrong = measured("height", height, "outside", c.heightMin) + "..." +
                    number(c.heightMax) + " at " + number(c.angle) + " deg";
        }
    }
    r.check(wrong.empty(), "fold_geometry_far_corner", wrong);

    wrong.clear();
    FarEdge previous = farEdgeAt(clearAngle);
    for (double angle = clearAngle - sweepStep; angle >= Tuning::closedCap; angle -= sweepStep) {
        const FarEdge far = farEdgeAt(angle);
        if (far.halfWidth > previous.halfWidth || far.y > previous.y) {
            wrong = "far edge grew at " + number(angle) + " deg: width " + number(far.halfWidth) +
                    ", height " + number(far.y);
        }
        previous = far;
    }
    r.check(wrong.empty(), "fold_geometry_shrinks_as_lid_closes", wrong);

    // Hinge magnification from the slope of the texture mapping at the hinge.
    constexpr double slopeStep = 1e-6;
    constexpr double magnificationMin = 1.10;
    constexpr double magnificationMax = 1.14;
    constexpr int stretchSamples = 200;
    const SheetGeometry closed(1, perspective, renderAspect);
    const double magnification = slopeStep / (closed.textureV(slopeStep) - closed.textureV(0));
    wrong.clear();
    if (magnification < magnificationMin || magnification > magnificationMax) {
        wrong = measured("hinge magnification", magnification, "outside", magnificationMin) +
                "..." + number(magnificationMax);
    } else if (std::abs(closed.textureV(1) - 1) > 1e-12) {
        wrong = measured("textureV(1)", closed.textureV(1), "!=", 1);
    }
    double last = -1;
    for (int i = 0; i <= stretchSamples; ++i) {
        const double v = closed.textureV(static_cast<double>(i) / stretchSamples);
        if (!(v > last)) {
            wrong = "texture mapping falls at " + number(static_cast<double>(i) / stretchSamples);
        }
        last = v;
    }
    r.check(wrong.empty(), "fold_geometry_hinge_stretch", wrong);

    wrong.clear();
    const SheetGeometry half(0.5, perspective, renderAspect);
    for (std::int64_t count : {0, 1}) {
        if (half.edgeTable(count).size() != 2) {
            wrong = "edge table of " + std::to_string(count) + " has " +
                    std::to_string(half.edgeTable(count).size()) + " entries";
        }
    }
    const std::vector<float> table = half.edgeTable(Tuning::edgeTableCount);
    if (table.size() != static_cast<std::size_t>(Tuning::edgeTableCount)) {
        wrong = "edge table has " + std::to_string(table.size()) + " entries";
    } else if (std::abs(table.front() - 1) > 1e-6) {
        wrong = measured("edge table at the hinge", table.front(), "!=", 1);
    } else if (std::abs(table.back() - half.farEdge().halfWidth) > 1e-6) {
        wrong =
            measured("edge table at the far edge", table.back(), "!=", half.farEdge().halfWidth);
    }
    r.check(wrong.empty(), "fold_geometry_edge_table", wrong);
}

void profileChecks(Reporter& r) {
    constexpr double bendT = 0.6;
    constexpr int profileSteps = 64;
    constexpr int closeSteps = 20;
    constexpr double departureMin = 0.005; // of the screen height
    // The edge table's bisection needs the profile to rise at every close amount.
    std::string falls;
    for (int k = 0; k <= closeSteps; ++k) {
        const SheetGeometry g(static_cast<double>(k) / closeSteps, perspective, renderAspect);
        double previous = -2;
        for (int i = 0; i <= profileSteps; ++i) {
            const double v = static_cast<double>(i) / profileSteps;
            const double y = g.project(g.point({0.5, v})).y;
            if (!(y > previous)) {
                falls = "profile falls at t " + number(g.t()) + ", v " + number(v) + ": " +
                        number(y) + " after " + number(previous);
            }
            previous = y;
        }
    }
    r.check(falls.empty(), "fold_profile_monotonic", falls);

    const SheetGeometry g(bendT, perspective, renderAspect);
    const NdcPoint far = g.project(g.point({0.5, 1}));
    double departure = 0;
    for (int i = 0; i <= profileSteps; ++i) {
        const double v = static_cast<double>(i) / profileSteps;
        // Off the straight line that a flat sheet would project to.
        const double y = g.project(g.point({0.5, v})).y;
        departure = std::max(departure, std::abs(y - (-1 + (far.y + 1) * v)) / 2);
    }
    r.check(departure > departureMin, "fold_bend_visible",
            measured("departure from flat", departure, "<=", departureMin, " screen heights"));
}

} // namespace

void foldMathChecks(Reporter& r) {
    closeAmountChecks(r);
    springChecks(r);
    geometryChecks(r);
    profileChecks(r);
}

} // namespace orvane
