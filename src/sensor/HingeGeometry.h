// SPDX-License-Identifier: MIT
// The hinge angle of a laptop from two accelerometers, one in the base and
// one in the display, each already turned into its part's frame by its mount
// matrix. Both frames are those of a laptop opened flat: x along the hinge to
// the right, y away from the user, z up out of the keyboard and the screen.
#pragma once

#include <array>
#include <optional>

namespace orvane::HingeGeometry {

using Vector = std::array<double, 3>;

// Degrees of opening (0 closed, 180 flat, up to 360 folded back), or none
// when gravity runs too close to the hinge axis for the two readings to
// show it, or the lid is so near closed or folded back that the two cannot be
// told apart.
std::optional<double> openingAngle(const Vector& base, const Vector& display);

// A raw reading turned by a row-major mount matrix.
Vector mounted(const std::array<double, 9>& matrix, const Vector& raw);

} // namespace orvane::HingeGeometry
