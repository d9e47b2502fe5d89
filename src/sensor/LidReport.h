// SPDX-License-Identifier: MIT
// The lid sensor's HID feature report: its identity and the decoding of one
// report into a hinge angle.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace orvane::LidReport {

inline constexpr std::uint8_t reportID = 1;
inline constexpr std::size_t reportLength = 8;

// The angle in degrees, or nothing when the report carries no usable reading.
// Reads at most the first three bytes of what the device returned.
std::optional<double> parse(std::span<const std::uint8_t> bytes);

} // namespace orvane::LidReport
