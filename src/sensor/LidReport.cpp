// SPDX-License-Identifier: MIT
#include "sensor/LidReport.h"

#include <algorithm>
#include <string_view>

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

std::optional<std::vector<std::uint8_t>> featureReport(std::span<const std::uint8_t> buffer,
                                                       int returned) {
    if (returned < 0) {
        return std::nullopt;
    }
    const std::size_t length = std::min(static_cast<std::size_t>(returned), buffer.size());
    if (length < minimumLength) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + static_cast<long>(length));
}

bool readsZero(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= minimumLength && bytes[1] == 0 && bytes[2] == 0;
}

std::string hex(std::span<const std::uint8_t> bytes) {
    constexpr std::string_view digits = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

} // namespace orvane::LidReport
