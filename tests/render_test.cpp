// SPDX-License-Identifier: MIT
#include "cover/CoverMode.h"
#include "render/FoldStyle.h"
#include "render/FoldUniforms.h"
#include "render/ShaderSource.h"

#include <doctest/doctest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <set>
#include <string>

using namespace orvane;

namespace {

FoldFrameParams frameAt(double angle, FoldStyle style = FoldStyle::vellum) {
    FoldFrameParams f;
    f.angle = angle;
    f.clearAngle = 100;
    f.perspective = 0.5;
    f.blur = 0.5;
    f.shadow = 0.5;
    f.style = style;
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

TEST_CASE("fold styles round-trip by raw value and read older names") {
    std::set<std::string> names;
    for (FoldStyle style : allFoldStyles) {
        CHECK(foldStyleFromRaw(rawValue(style)) == style);
        names.insert(std::string(displayName(style)));
        CHECK_FALSE(summary(style).empty());
    }
    CHECK(names.size() == 4);
    CHECK(rawValue(FoldStyle::rime) == "rime");
    CHECK(displayName(FoldStyle::ridge) == "Ridge");
    CHECK(summary(FoldStyle::dusk) == "Dark and deep, with a strong shadow.");

    CHECK_FALSE(foldStyleFromRaw("Vellum").has_value());
    CHECK(migratingFoldStyle("silk") == FoldStyle::vellum);
    CHECK(migratingFoldStyle("SiLk") == FoldStyle::vellum);
    CHECK(migratingFoldStyle("shade") == FoldStyle::dusk);
    CHECK(migratingFoldStyle("FROST") == FoldStyle::rime);
    CHECK(migratingFoldStyle("ridge") == FoldStyle::ridge);
    CHECK(migratingFoldStyle("Dusk") == FoldStyle::dusk);
    CHECK_FALSE(migratingFoldStyle("origami").has_value());
    CHECK_FALSE(migratingFoldStyle("").has_value());
}

TEST_CASE("every pair of styles looks different") {
    for (std::size_t a = 0; a < allFoldStyles.size(); ++a) {
        for (std::size_t b = a + 1; b < allFoldStyles.size(); ++b) {
            CHECK_FALSE(params(allFoldStyles[a]) == params(allFoldStyles[b]));
        }
    }
    // Only the frosted style lays a frost floor (blur scale above one).
    for (FoldStyle style : allFoldStyles) {
        CHECK((params(style).blurScale > 1) == (style == FoldStyle::rime));
    }
}

TEST_CASE("cover modes carry their texts and read the veil's older name") {
    CHECK(allCoverModes.size() == 3);
    CHECK(displayName(CoverMode::off) == "Off");
    CHECK(summary(CoverMode::veil) == "Frost over the frozen screen.");
    CHECK(settingsLine(CoverMode::clock) == "The time and date, in large type, over a dark blur.");
    for (CoverMode mode : allCoverModes) {
        CHECK(coverModeFromRaw(rawValue(mode)) == mode);
        CHECK(migratingCoverMode(displayName(mode)) == mode);
    }
    for (const char* frost : {"Frost", "frost", "FROST"}) {
        CHECK(migratingCoverMode(frost) == CoverMode::veil);
    }
    CHECK_FALSE(coverModeFromRaw("Veil").has_value());
    CHECK_FALSE(migratingCoverMode("lid").has_value());
    CHECK_FALSE(migratingCoverMode("").has_value());
}

TEST_CASE("the uniform records keep their byte layout") {
    CHECK(sizeof(FoldUniformsCPU) == 80);
    CHECK(offsetof(FoldUniformsCPU, fade) == 4);
    CHECK(offsetof(FoldUniformsCPU, blurScale) == 28);
    CHECK(offsetof(FoldUniformsCPU, resolution) == 32);
    CHECK(offsetof(FoldUniformsCPU, motion) == 40);
    CHECK(offsetof(FoldUniformsCPU, cornerPx) == 44);
    CHECK(offsetof(FoldUniformsCPU, geo) == 48);
    CHECK(offsetof(FoldUniformsCPU, edge) == 64);
    CHECK(sizeof(StyleUniformsCPU) == 96);
    CHECK(offsetof(StyleUniformsCPU, tintStrength) == 16);
    CHECK(offsetof(StyleUniformsCPU, crease) == 32);
    CHECK(offsetof(StyleUniformsCPU, creaseStrength) == 48);
    CHECK(offsetof(StyleUniformsCPU, m1) == 64);
    CHECK(offsetof(StyleUniformsCPU, m2) == 80);

    CHECK(FoldUniformsCPU{}.blurScale == 1.0f);
    CHECK(FoldUniformsCPU{}.t == 0.0f);
    CHECK(StyleUniformsCPU{}.tint == std::array<float, 3>{1, 1, 1});
    CHECK(StyleUniformsCPU{}.m2 == std::array<float, 4>{0, 0, 0, 0});
}

TEST_CASE("an open lid fills uniforms for an unbent, fully opaque sheet") {
    for (FoldStyle style : allFoldStyles) {
        const FrameUniforms u = fillUniforms(frameAt(100, style), 1512, 982);
        CHECK(u.fold.t == 0.0f);
        CHECK(u.fold.fade == 1.0f);
        CHECK(u.fold.cornerPx == 0.0f);
        CHECK(u.fold.geo[0] == 0.0f); // no bend
        CHECK(u.blurAmount == 0.0);
        CHECK(u.fold.resolution == std::array<float, 2>{1512, 982});
        CHECK(u.fold.edge[2] == doctest::Approx(1.0)); // far edge at the top
    }
    CHECK(fillUniforms(frameAt(108), 1512, 982).fold.fade == 0.0f);
}

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
    SUBCASE("reduce motion ignores the script") {
        f.reduceMotion = true;
        const FrameUniforms still = fillUniforms(f, 1512, 982);
        CHECK(still.sheetAngle == 104.0);
        CHECK(still.velocity == 0.0);
        CHECK(still.fold.motion == 0.0f);
        CHECK(still.fold.t == 0.0f);
        CHECK(still.fold.reduceMotion == 1.0f);
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
            f.clearAngle = bad;
            CHECK(allFinite(fillUniforms(f, 1512, 982)));
            f = frameAt(50);
            f.perspective = f.blur = f.shadow = f.opacity = f.notchUV = bad;
            CHECK(allFinite(fillUniforms(f, 1512, 982)));
            f = frameAt(50);
            f.motion = FoldMotion::scripted(bad, bad);
            CHECK(allFinite(fillUniforms(f, 1512, 982)));
        }
    }
}

TEST_CASE("the program text carries every constant as a valid literal") {
    CHECK(ShaderSource::floatLiteral(6) == "6.0");
    CHECK(ShaderSource::floatLiteral(0.22) == "0.22");
    CHECK(ShaderSource::floatLiteral(1.5) == "1.5");
    CHECK(ShaderSource::floatLiteral(1e-12) == "1e-12");
    CHECK(ShaderSource::floatLiteral(-3) == "-3.0");
    const std::string& text = ShaderSource::glsl();
    CHECK(text.starts_with("#version 330 core\n//"));
    for (const char* line :
         {"const float BACKDROP_DIM = 0.22;\n", "const float FOLD_CAM_DIST = 1.5;\n",
          "const float DEPTH_BLUR_GAIN = 6.0;\n", "const float SHEEN_POWER = 10.0;\n",
          "const float EDGE_SHADOW_REACH = 0.03;\n", "const int EDGE_TABLE_COUNT = 32;\n"}) {
        CHECK(text.find(line) != std::string::npos);
    }
    for (ShaderEntry entry : allShaderEntries) {
        const std::string stage = ShaderSource::stageText(entry);
        CHECK(stage.starts_with("#version 330 core\n#define ENTRY_" +
                                std::string(ShaderSource::entryName(entry)) + "\n"));
        CHECK(text.find("#ifdef ENTRY_" + std::string(ShaderSource::entryName(entry))) !=
              std::string::npos);
    }
    // The same text every time: it is built once.
    CHECK(&ShaderSource::glsl() == &text);
}
