// SPDX-License-Identifier: MIT
// The lid sensor's HID feature report: its identity and the decoding of one
// report into a hinge angle.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvane::LidReport {

inline constexpr std::uint8_t reportID = 1;
inline constexpr std::size_t reportLength = 8;

// The angle in degrees, or nothing when the report carries no usable reading.
// Reads at most the first three bytes of what the device returned.
std::optional<double> parse(std::span<const std::uint8_t> bytes);

// The report as `parse` reads it, from a feature-report read into `buffer`
// that answered `returned`: like the device's own layout, hidapi keeps the
// report id in byte 0 and counts it in what it returns, so the report is the
// buffer cut to that count. None for an error or fewer than three bytes.
std::optional<std::vector<std::uint8_t>> featureReport(std::span<const std::uint8_t> buffer,
                                                       int returned);

// The probe's view of a report: its value bytes both zero.
bool readsZero(std::span<const std::uint8_t> bytes);
// Two lower-case hexadecimal digits a byte, no separators.
std::string hex(std::span<const std::uint8_t> bytes);

} // namespace orvane::LidReport
