// SPDX-License-Identifier: MIT
// Values of the kernel's industrial I/O (IIO) sensors as their sysfs files
// hold them, and the lid angles they give.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace orvane::IioValue {

// Row by row; applied to a raw vector it gives the vector in the device's frame.
using MountMatrix = std::array<double, 9>;
inline constexpr MountMatrix identity{1, 0, 0, 0, 1, 0, 0, 0, 1};

// One number as a sysfs file holds it: surrounding white space (the final
// line feed) is allowed, anything else around the number is not.
std::optional<double> number(std::string_view text);

// "x1, y1, z1; x2, y2, z2; x3, y3, z3"; none unless all nine are numbers.
std::optional<MountMatrix> mountMatrix(std::string_view text);

// The ChromeOS EC lid angle: whole degrees; its "cannot tell" value gives none.
std::optional<double> crosEcLidAngle(double raw);

// A scaled channel: (raw + offset) x scale, here radians turned to degrees.
std::optional<double> radiansChannel(double raw, double offset, double scale);

} // namespace orvane::IioValue
