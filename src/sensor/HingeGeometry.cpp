// SPDX-License-Identifier: MIT
#include "sensor/HingeGeometry.h"

#include "core/Tuning.h"

#include <cmath>
#include <numbers>

namespace orvane::HingeGeometry {

std::optional<double> openingAngle(const Vector& base, const Vector& display) {
    // Three-argument hypot can turn a NaN into 0, so the sum of squares it is.
    const auto length = [](const Vector& v) {
        return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    };
    const double g = (length(base) + length(display)) / 2;
    // Only the parts across the hinge turn with the lid; the x parts are the same in both.
    const double baseAcross = std::hypot(base[1], base[2]);
    const double displayAcross = std::hypot(display[1], display[2]);
    if (!std::isfinite(g) || g <= 0 || baseAcross < Tuning::hingeMinProjection * g ||
        displayAcross < Tuning::hingeMinProjection * g) {
        return std::nullopt;
    }
    // Opening by a turns the display's frame so that its reading is the base's
    // reading turned by a + 180 degrees; a signed angle keeps 170 and 190 apart.
    const double turn = std::atan2(display[2], display[1]) - std::atan2(base[2], base[1]);
    double degrees = std::fmod(turn * 180.0 / std::numbers::pi - 180.0, 360.0);
    if (degrees < 0) {
        degrees += 360.0;
    }
    if (degrees < Tuning::hingeFoldAmbiguity || degrees > 360.0 - Tuning::hingeFoldAmbiguity) {
        return std::nullopt;
    }
    return degrees;
}

Vector mounted(const std::array<double, 9>& m, const Vector& raw) {
    return {m[0] * raw[0] + m[1] * raw[1] + m[2] * raw[2],
            m[3] * raw[0] + m[4] * raw[1] + m[5] * raw[2],
            m[6] * raw[0] + m[7] * raw[1] + m[8] * raw[2]};
}

} // namespace orvane::HingeGeometry
