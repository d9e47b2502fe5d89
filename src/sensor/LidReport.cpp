// SPDX-License-Identifier: MIT
#include "sensor/LidReport.h"

namespace orvane::LidReport {

namespace {
constexpr std::size_t minimumLength = 3;
// Raw values above this are hundredths of a degree; at or below, whole degrees.
constexpr std::uint16_t wholeDegreeLimit = 3600;
constexpr double centidegreesPerDegree = 100.0;
constexpr double fullTurn = 360.0;
} // namespace

std::optional<double> parse(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < minimumLength) {
        return std::nullopt;
    }
    const auto raw = static_cast<std::uint16_t>(bytes[1] | (bytes[2] << 8));
    const double angle =
        raw > wholeDegreeLimit ? raw / centidegreesPerDegree : static_cast<double>(raw);
    if (angle > fullTurn) {
        return std::nullopt;
    }
    return angle;
}

} // namespace orvane::LidReport
