// SPDX-License-Identifier: MIT
// The lid report's decoding and the clear angle taken from the lid.
#include "selfcheck/LidChecks.h"

#include "core/Tuning.h"
#include "selfcheck/CheckText.h"
#include "sensor/LidCalibration.h"
#include "sensor/LidReport.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

namespace {

// A full-length report carrying `raw` as its hinge value, after the report id.
std::vector<std::uint8_t> report(std::uint16_t raw) {
    std::vector<std::uint8_t> bytes(LidReport::reportLength, 0);
    bytes[0] = LidReport::reportID;
    bytes[1] = static_cast<std::uint8_t>(raw & 0xff);
    bytes[2] = static_cast<std::uint8_t>(raw >> 8);
    return bytes;
}

std::string shown(std::optional<double> angle) {
    return angle ? CheckText::number(*angle) : std::string("none");
}

// Every raw value against what it must decode to; the first mismatch, if any.
std::string mismatch(const std::vector<std::pair<std::uint16_t, std::optional<double>>>& cases) {
    for (const auto& [raw, expected] : cases) {
        const std::optional<double> angle = LidReport::parse(report(raw));
        if (angle != expected) {
            return "raw " + std::to_string(raw) + " gave " + shown(angle) + ", want " +
                   shown(expected);
        }
    }
    return {};
}

} // namespace

void lidReportChecks(Reporter& r) {
    std::string wrong = mismatch({{110, 110.0}, {0, 0.0}, {360, 360.0}});
    r.check(wrong.empty(), "lid_report_degrees", wrong);

    // Hundredths of a degree must come out exact, not merely close.
    wrong = mismatch({{11000, 110.0}, {3601, 36.01}, {36000, 360.0}});
    r.check(wrong.empty(), "lid_report_centidegrees", wrong);

    const std::vector<std::uint8_t> full = report(110);
    std::string shortDetail;
    for (std::size_t length = 0; length < 3; ++length) {
        const std::optional<double> angle = LidReport::parse(std::span(full.data(), length));
        if (angle) {
            shortDetail = std::to_string(length) + " bytes gave " + shown(angle);
        }
    }
    if (const auto three = LidReport::parse(std::span(full.data(), 3)); three != 110.0) {
        shortDetail = "3 bytes gave " + shown(three) + ", want 110";
    }
    r.check(shortDetail.empty(), "lid_report_short", shortDetail);

    wrong = mismatch({{361, std::nullopt},
                      {400, std::nullopt},
                      {3600, std::nullopt},
                      {36001, std::nullopt},
                      {36100, std::nullopt},
                      {0xffff, std::nullopt}});
    r.check(wrong.empty(), "lid_report_range", wrong);
}

void lidCalibrationChecks(Reporter& r) {
    constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
    std::string wrong;
    for (double angle : {72.0, Tuning::lidCalibrationMinAngle, Tuning::lidCalibrationMaxAngle}) {
        if (!LidCalibration::isPlausible(true, false, angle)) {
            wrong = "an open sensor at " + CheckText::number(angle) + " deg was refused";
        }
    }
    r.check(wrong.empty(), "lid_calibration_plausible", wrong);

    struct Reading {
        const char* what;
        bool open;
        bool onlyZero;
        std::optional<double> angle;
    };
    wrong.clear();
    for (const Reading& reading :
         {Reading{"a closed sensor", false, false, 72.0},
          Reading{"a sensor reading only zero", true, true, 72.0},
          Reading{"no reading", true, false, std::nullopt}, Reading{"12 deg", true, false, 12.0},
          Reading{"170 deg", true, false, 170.0}, Reading{"NaN", true, false, notANumber}}) {
        if (LidCalibration::isPlausible(reading.open, reading.onlyZero, reading.angle)) {
            wrong = std::string(reading.what) + " was taken as plausible";
        }
    }
    r.check(wrong.empty(), "lid_calibration_implausible", wrong);

    wrong.clear();
    for (const auto& [lid, stored] :
         {std::pair{72.0, Tuning::minClearAngle}, std::pair{100.0, 94.0},
          std::pair{Tuning::lidCalibrationMinAngle, Tuning::minClearAngle},
          std::pair{Tuning::lidCalibrationMaxAngle, Tuning::maxClearAngle}}) {
        const double value = LidCalibration::storedValue(lid);
        if (value != stored) {
            wrong = "lid " + CheckText::number(lid) + " deg stores " + CheckText::number(value) +
                    ", want " + CheckText::number(stored);
        }
    }
    r.check(wrong.empty(), "lid_calibration_stored_angle", wrong);
}

} // namespace orvane
