// SPDX-License-Identifier: MIT
#include "render/FoldUniforms.h"

#include "core/Tuning.h"
#include "motion/FoldMath.h"
#include "motion/SheetGeometry.h"

#include <algorithm>

namespace orvane {

namespace {
// The far corners round in over the first stretch of the fold.
constexpr double cornerRoundInEnd = 0.15;
} // namespace

FrameUniforms fillUniforms(const FoldFrameParams& frame, std::int64_t width, std::int64_t height) {
    const StyleParams& s = params(frame.look.style);
    // The sliders are fractions; holding them there keeps a bad value from
    // reaching the GPU as NaN.
    const double blur = FoldMath::saturate(frame.look.blur);
    const double shadow = FoldMath::saturate(frame.look.shadow);
    const double p = FoldMath::saturate(frame.look.perspective * s.perspectiveScale);

    const bool scripted =
        !frame.look.reduceMotion && frame.motion.kind == FoldMotion::Kind::scripted;
    const double sheetAngle = scripted ? frame.motion.sheetAngle : frame.angle;
    const double velocity = scripted ? frame.motion.velocity : 0.0;

    const double t = FoldMath::t(sheetAngle, frame.look.clearAngle, p);
    // The opacity follows the frame's angle; the sheet angle only bends the sheet.
    const double fade =
        FoldMath::fade(frame.angle, frame.look.clearAngle) * FoldMath::saturate(frame.opacity);

    const double w = static_cast<double>(width);
    const double h = static_cast<double>(height);
    const SheetGeometry geometry(t, p, w / std::max(h, 1.0));
    const FarEdge far = geometry.farEdge();

    FrameUniforms out;
    FoldUniformsCPU& u = out.fold;
    u.t = static_cast<float>(t);
    u.fade = static_cast<float>(fade);
    u.perspective = static_cast<float>(p);
    u.blur = static_cast<float>(blur);
    u.shadow = static_cast<float>(shadow);
    u.reduceMotion = frame.look.reduceMotion ? 1.0f : 0.0f;
    u.blurScale = static_cast<float>(s.blurScale);
    u.resolution = {static_cast<float>(w), static_cast<float>(h)};
    u.motion = static_cast<float>(FoldMath::motionBlurLength(velocity));
    u.cornerPx = static_cast<float>(FoldMath::smoothstep(0, cornerRoundInEnd, t) *
                                    Tuning::cornerRadiusFraction * w);
    u.geo = {static_cast<float>(geometry.theta()), static_cast<float>(geometry.radius()),
             static_cast<float>(geometry.bendLength()), static_cast<float>(geometry.height())};
    u.edge = {static_cast<float>(geometry.stretchK()), static_cast<float>(geometry.stretchReach()),
              static_cast<float>(far.y), static_cast<float>(far.halfWidth)};

    StyleUniformsCPU& st = out.style;
    st.tint = s.tint;
    st.tintStrength = s.tintStrength;
    st.crease = s.crease;
    st.creaseStrength = s.creaseStrength;
    st.m1 = {s.vignette, s.desaturate, s.noise, s.chromatic};
    st.m2 = {s.bloom, s.falloff, s.ridgeLine, 0.0f};

    out.edgeTable = geometry.edgeTable(Tuning::edgeTableCount);
    out.blurAmount = t * blur * s.blurScale;
    out.sheetAngle = sheetAngle;
    out.velocity = velocity;
    return out;
}

} // namespace orvane
