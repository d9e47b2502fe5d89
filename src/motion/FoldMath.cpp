// SPDX-License-Identifier: MIT
#include "motion/FoldMath.h"

#include "core/Tuning.h"
#include "motion/SheetGeometry.h"

#include <algorithm>
#include <cmath>

namespace orvane::FoldMath {

double saturate(double x) {
    if (!(x > 0)) {
        return 0; // also NaN
    }
    return x > 1 ? 1 : x;
}

double mix(double a, double b, double t) {
    return a + (b - a) * t;
}

double smoothstep(double e0, double e1, double x) {
    const double s = saturate((x - e0) / (e1 - e0));
    return s * s * (3 - 2 * s);
}

double t(double angle, double clearAngle, double perspective) {
    const double x = saturate((clearAngle - angle) / (clearAngle - Tuning::closedCap));
    const double exponent = 1 + saturate(perspective) * (Tuning::perspectivePowMax - 1);
    return std::pow(x, exponent);
}

double fade(double angle, double clearAngle) {
    return smoothstep(clearAngle + Tuning::fadeBand, clearAngle, angle);
}

double motionBlurLength(double velocity) {
    const double speed = std::abs(velocity);
    if (std::isnan(speed) || speed < Tuning::stillVelocity) {
        return 0;
    }
    return std::min(speed * Tuning::motionBlurGain, Tuning::motionBlurMax);
}

NdcPoint projectCorner(SheetUV uv, double t, double perspective, double aspect) {
    const SheetGeometry geometry(t, perspective, aspect);
    return geometry.project(geometry.point(uv));
}

} // namespace orvane::FoldMath
