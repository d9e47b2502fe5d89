// SPDX-License-Identifier: MIT
#include "render/FoldStyle.h"
#include "render/FoldUniforms.h"
#include "render/FrameRateRange.h"

#include <doctest/doctest.h>

#include <cmath>
#include <cstddef>
#include <limits>

using namespace orvane;

namespace {

FoldFrameParams frameAt(double angle, FoldStyle style = FoldStyle::vellum) {
    FoldFrameParams f;
    f.angle = angle;
    f.look = FoldLook::tools();
    f.look.style = style;
    f.opacity = 1;
    return f;
}

bool allFinite(const FrameUniforms& u) {
    const auto* f = reinterpret_cast<const float*>(&u.fold);
    for (std::size_t i = 0; i < sizeof(u.fold) / sizeof(float); ++i) {
        if (!std::isfinite(f[i])) {
            return false;
        }
    }
    for (float e : u.edgeTable) {
        if (!std::isfinite(e)) {
            return false;
        }
    }
    return std::isfinite(u.blurAmount);
}

} // namespace

TEST_CASE("a closing lid bends the sheet, rounds its corners and blurs it") {
    const FrameUniforms half = fillUniforms(frameAt(70), 1512, 982);
    const FrameUniforms deep = fillUniforms(frameAt(40), 1512, 982);
    CHECK(half.fold.t > 0.0f);
    CHECK(deep.fold.t > half.fold.t);
    CHECK(deep.fold.geo[0] > half.fold.geo[0]);
    CHECK(deep.fold.edge[2] < half.fold.edge[2]); // far edge lower
    CHECK(deep.fold.edge[3] < half.fold.edge[3]); // and narrower
    CHECK(deep.fold.cornerPx > 0.0f);
    CHECK(deep.fold.cornerPx <= 0.014f * 1512 + 1e-3f);
    CHECK(deep.blurAmount > half.blurAmount);

    REQUIRE(deep.edgeTable.size() == 32);
    CHECK(deep.edgeTable.front() == doctest::Approx(1.0));
    CHECK(deep.edgeTable.back() == doctest::Approx(deep.fold.edge[3]));

    SUBCASE("the style scales perspective and blur") {
        const FrameUniforms rime = fillUniforms(frameAt(40, FoldStyle::rime), 1512, 982);
        const FrameUniforms ridge = fillUniforms(frameAt(40, FoldStyle::ridge), 1512, 982);
        CHECK(rime.fold.perspective < ridge.fold.perspective);
        CHECK(rime.blurAmount > ridge.blurAmount);
        CHECK(rime.style.m1[2] > 0.0f);   // grain
        CHECK(ridge.style.m2[2] == 1.0f); // ridge line
    }
}

TEST_CASE("the sheet angle bends the sheet while the frame angle sets the opacity") {
    FoldFrameParams f = frameAt(104);
    f.motion = FoldMotion::scripted(60, -40);
    const FrameUniforms u = fillUniforms(f, 1512, 982);
    CHECK(u.fold.t == fillUniforms(frameAt(60), 1512, 982).fold.t);
    CHECK(u.fold.fade == doctest::Approx(0.5));
    CHECK(u.fold.motion > 0.0f);
    CHECK(u.sheetAngle == 60.0);
    CHECK(u.velocity == -40.0);

    SUBCASE("the overlay's opacity scales the fade") {
        f.opacity = 0.5;
        CHECK(fillUniforms(f, 1512, 982).fold.fade == doctest::Approx(0.25));
        f.opacity = 3;
        CHECK(fillUniforms(f, 1512, 982).fold.fade == doctest::Approx(0.5));
    }
}

TEST_CASE("uniforms stay finite for degenerate frames") {
    constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    SUBCASE("a zero-height or empty source") {
        CHECK(allFinite(fillUniforms(frameAt(50), 1512, 0)));
        CHECK(allFinite(fillUniforms(frameAt(50), 0, 0)));
    }
    SUBCASE("non-finite angles and sliders") {
        for (double bad : {notANumber, inf, -inf}) {
            FoldFrameParams f = frameAt(50);
            f.angle = bad;
            CHECK(allFinite(fillUniforms(f, 1512, 982)));
            f = frameAt(50);
            f.look.clearAngle = bad;
            CHECK(allFinite(fillUniforms(f, 1512, 982)));
            f = frameAt(50);
            f.look.perspective = f.look.blur = f.look.shadow = f.opacity = bad;
            CHECK(allFinite(fillUniforms(f, 1512, 982)));
            f = frameAt(50);
            f.motion = FoldMotion::scripted(bad, bad);
            CHECK(allFinite(fillUniforms(f, 1512, 982)));
        }
    }
}

TEST_CASE("a live overlay asks for its rate and may drop to 30, never below 1") {
    CHECK(frameRateRange(1) == FrameRateRange{1, 1, 1});
    CHECK(frameRateRange(0) == FrameRateRange{1, 1, 1});
    CHECK(frameRateRange(-5) == FrameRateRange{1, 1, 1});
    CHECK(frameRateRange(120) == FrameRateRange{30, 120, 120});
    CHECK(frameRateRange(24) == FrameRateRange{24, 24, 24});
}
