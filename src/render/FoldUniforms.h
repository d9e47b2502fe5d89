// SPDX-License-Identifier: MIT
// One frame's render request, and the uniform records the renderer fills from
// it for the GPU program.
#pragma once

#include "render/FoldLook.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvane {

// How the sheet angle of a frame is given: scripted by the animator (or a
// movie script) with its velocity, or still at the frame's angle.
struct FoldMotion {
    enum class Kind { scripted, still };

    static FoldMotion scripted(double sheetAngle, double velocity) {
        return {Kind::scripted, sheetAngle, velocity};
    }
    static FoldMotion still() { return {}; }

    Kind kind = Kind::still;
    double sheetAngle = 0; // degrees; meaningful when scripted
    double velocity = 0;   // degrees per second; meaningful when scripted
    bool operator==(const FoldMotion&) const = default;
};

struct FoldFrameParams {
    FoldLook look;
    double angle = 0; // drives the opacity fade
    FoldMotion motion;
    double opacity = 1;
    // When the frame is meant to be seen, seconds on the lid samples' clock.
    double targetTime = 0;
    bool operator==(const FoldFrameParams&) const = default;
};

// CPU image of the program's FoldUniforms block (std140, 80 bytes).
struct FoldUniformsCPU {
    float t = 0;
    float fade = 0;
    float perspective = 0;
    float blur = 0;
    float shadow = 0;
    float reduceMotion = 0;
    float reduceMotionPad = 0; // keeps the block's offsets
    float blurScale = 1;
    std::array<float, 2> resolution{0, 0};
    float motion = 0;
    float cornerPx = 0;
    std::array<float, 4> geo{0, 0, 0, 0};  // theta, radius, bend length, sheet height
    std::array<float, 4> edge{0, 0, 0, 0}; // stretch k, stretch reach, far-edge y, half-width
    bool operator==(const FoldUniformsCPU&) const = default;
};

// CPU image of the program's StyleUniforms block (std140, 96 bytes).
struct StyleUniformsCPU {
    std::array<float, 3> tint{1, 1, 1};
    float padTint = 0;
    float tintStrength = 0;
    std::array<float, 3> padTintStrength{0, 0, 0};
    std::array<float, 3> crease{0, 0, 0};
    float padCrease = 0;
    float creaseStrength = 0;
    std::array<float, 3> padCreaseStrength{0, 0, 0};
    std::array<float, 4> m1{0, 0, 0, 0}; // vignette, desaturate, noise, chromatic
    std::array<float, 4> m2{0, 0, 0, 0}; // bloom, falloff, ridge line, unused
    bool operator==(const StyleUniformsCPU&) const = default;
};

static_assert(sizeof(FoldUniformsCPU) == 80);
static_assert(offsetof(FoldUniformsCPU, resolution) == 32);
static_assert(offsetof(FoldUniformsCPU, geo) == 48);
static_assert(offsetof(FoldUniformsCPU, edge) == 64);
static_assert(sizeof(StyleUniformsCPU) == 96);
static_assert(offsetof(StyleUniformsCPU, tintStrength) == 16);
static_assert(offsetof(StyleUniformsCPU, crease) == 32);
static_assert(offsetof(StyleUniformsCPU, creaseStrength) == 48);
static_assert(offsetof(StyleUniformsCPU, m1) == 64);
static_assert(offsetof(StyleUniformsCPU, m2) == 80);

// Everything one frame hands the GPU, with the sheet angle and velocity the
// renderer remembers and the blur amount that picks its pass plan.
struct FrameUniforms {
    FoldUniformsCPU fold;
    StyleUniformsCPU style;
    std::vector<float> edgeTable;
    double blurAmount = 0;
    double sheetAngle = 0;
    double velocity = 0;
};

// `width` and `height` are the source texture's size in pixels.
FrameUniforms fillUniforms(const FoldFrameParams& frame, std::int64_t width, std::int64_t height);

} // namespace orvane
