// SPDX-License-Identifier: MIT
#include "sensor/IioValue.h"

#include "core/Text.h"
#include "core/Tuning.h"

#include <cmath>
#include <numbers>

namespace orvane::IioValue {

namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view space = " \t\n\r\v\f";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

} // namespace

std::optional<double> number(std::string_view text) {
    return parseDecimal(trimmed(text));
}

std::optional<MountMatrix> mountMatrix(std::string_view text) {
    MountMatrix matrix{};
    std::size_t filled = 0;
    std::size_t rows = 0;
    while (true) {
        const std::size_t rowEnd = std::min(text.find(';'), text.size());
        std::string_view row = text.substr(0, rowEnd);
        ++rows;
        for (std::size_t column = 0; column < 3; ++column) {
            const std::size_t cellEnd = std::min(row.find(','), row.size());
            if (filled >= matrix.size() || (column < 2 && cellEnd == row.size())) {
                return std::nullopt;
            }
            const std::optional<double> cell = number(row.substr(0, cellEnd));
            if (!cell) {
                return std::nullopt;
            }
            matrix[filled++] = *cell;
            row.remove_prefix(std::min(cellEnd + 1, row.size()));
        }
        if (!trimmed(row).empty()) {
            return std::nullopt;
        }
        if (rowEnd == text.size()) {
            break;
        }
        text.remove_prefix(rowEnd + 1);
    }
    if (rows != 3 || filled != matrix.size()) {
        return std::nullopt;
    }
    return matrix;
}

std::optional<double> crosEcLidAngle(double raw) {
    if (!std::isfinite(raw) || raw == Tuning::crosEcUnreliableAngle || raw < 0 || raw > 360) {
        return std::nullopt;
    }
    return raw;
}

std::optional<double> radiansChannel(double raw, double offset, double scale) {
    const double degrees = (raw + offset) * scale * 180.0 / std::numbers::pi;
    if (!std::isfinite(degrees) || degrees < 0 || degrees > 360) {
        return std::nullopt;
    }
    return degrees;
}

} // namespace orvane::IioValue
