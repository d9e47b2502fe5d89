// SPDX-License-Identifier: MIT
#include "core/Xorshift.h"
#include "sensor/AngleFilter.h"
#include "sensor/LidCalibration.h"
#include "sensor/LidReport.h"
#include "sensor/SensorRate.h"

#include <doctest/doctest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace orvane;

namespace {

std::optional<double> decode(std::uint16_t raw) {
    const std::vector<std::uint8_t> report{LidReport::reportID,
                                           static_cast<std::uint8_t>(raw & 0xff),
                                           static_cast<std::uint8_t>(raw >> 8),
                                           0,
                                           0,
                                           0,
                                           0,
                                           0};
    return LidReport::parse(report);
}

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

} // namespace

TEST_CASE("lid reports decode whole degrees up to 3600 and centidegrees above") {
    CHECK(decode(110) == 110.0);
    CHECK(decode(0) == 0.0);
    CHECK(decode(360) == 360.0);
    CHECK(decode(11000) == 110.0);
    CHECK(decode(3601) == doctest::Approx(36.01));
    CHECK(decode(36000) == 360.0);

    SUBCASE("the hinge value is little-endian in bytes 1 and 2") {
        const std::vector<std::uint8_t> report{0xff, 0x2c, 0x01}; // 300
        CHECK(LidReport::parse(report) == 300.0);
    }
    SUBCASE("trailing bytes are ignored") {
        const std::vector<std::uint8_t> report{1, 90, 0, 0xff, 0xff, 0xff, 0xff, 0xff};
        CHECK(LidReport::parse(report) == 90.0);
    }
}

TEST_CASE("a calibration reading must come from an open sensor with a plausible angle") {
    CHECK(LidCalibration::isPlausible(true, false, 72.0));
    CHECK(LidCalibration::isPlausible(true, false, 30.0));
    CHECK(LidCalibration::isPlausible(true, false, 150.0));

    CHECK_FALSE(LidCalibration::isPlausible(false, false, 72.0));
    CHECK_FALSE(LidCalibration::isPlausible(true, true, 72.0));
    CHECK_FALSE(LidCalibration::isPlausible(true, false, std::nullopt));
    for (double angle : {12.0, 29.9, 150.1, 170.0, notANumber, inf, -inf}) {
        CAPTURE(angle);
        CHECK_FALSE(LidCalibration::isPlausible(true, false, angle));
    }
}

TEST_CASE("the calibrated clear angle sits six degrees below the lid within the limits") {
    CHECK(LidCalibration::storedValue(100.0) == 94.0);
    CHECK(LidCalibration::storedValue(30.0) == 70.0);
    CHECK(LidCalibration::storedValue(150.0) == 130.0);
    SUBCASE("a non-finite reading still stores a valid clear angle") {
        for (double angle : {notANumber, inf, -inf}) {
            const double stored = LidCalibration::storedValue(angle);
            CHECK(stored >= 70.0);
            CHECK(stored <= 130.0);
        }
    }
}

TEST_CASE("the angle filter starts from its first sample") {
    AngleFilter filter;
    CHECK(filter.ingest(87.5, 10.0) == FilteredSample{87.5, 0.0});

    SUBCASE("and again after a reset") {
        filter.ingest(60.0, 10.1);
        filter.reset();
        CHECK(filter == AngleFilter{});
        CHECK(filter.ingest(42.0, 11.0) == FilteredSample{42.0, 0.0});
    }
}

TEST_CASE("a still lid with sensor noise keeps the filtered angle nearly still") {
    AngleFilter filter;
    Xorshift32 noise(12345);
    double lowest = 1e9;
    double highest = -1e9;
    for (int i = 0; i < 600; ++i) {
        const double raw = 90.0 + (noise.uniform() - 0.5); // +-0.5 degrees of noise
        const FilteredSample out = filter.ingest(raw, i / 120.0);
        if (i >= 120) {
            lowest = std::min(lowest, out.angle);
            highest = std::max(highest, out.angle);
            CHECK(std::abs(out.velocity) < 1.5);
        }
    }
    // The raw samples span a whole degree.
    CHECK(highest - lowest < 0.4);
}

TEST_CASE("a moving lid is followed closely") {
    AngleFilter filter;
    const double speed = -90.0; // closing, degrees per second
    FilteredSample out;
    double raw = 0;
    for (int i = 0; i <= 60; ++i) { // half a second at 120 Hz
        const double time = i / 120.0;
        raw = 110.0 + speed * time;
        out = filter.ingest(raw, time);
    }
    // The fast cut-off keeps the lag to a few degrees and the velocity
    // estimate close to the true speed.
    CHECK(std::abs(out.angle - raw) < 3.0);
    CHECK(out.velocity < 0.6 * speed);
    CHECK(out.velocity > 1.2 * speed);
}

TEST_CASE("the angle filter stays finite on degenerate input") {
    AngleFilter filter;
    SUBCASE("repeated and backward time stamps") {
        filter.ingest(80.0, 5.0);
        const FilteredSample same = filter.ingest(81.0, 5.0);
        const FilteredSample back = filter.ingest(79.0, 4.0);
        CHECK(std::isfinite(same.angle));
        CHECK(std::isfinite(same.velocity));
        CHECK(std::isfinite(back.angle));
        CHECK(std::isfinite(back.velocity));
    }
    SUBCASE("non-finite angles and times are ignored") {
        CHECK(filter.ingest(notANumber, 1.0) == FilteredSample{0.0, 0.0});
        CHECK(filter == AngleFilter{});
        filter.ingest(80.0, 1.0);
        const AngleFilter before = filter;
        for (auto [angle, time] : std::vector<std::pair<double, double>>{
                 {notANumber, 1.1}, {inf, 1.1}, {-inf, 1.1}, {81.0, notANumber}, {81.0, inf}}) {
            const FilteredSample out = filter.ingest(angle, time);
            CHECK(out.angle == 80.0);
            CHECK(std::isfinite(out.velocity));
        }
        CHECK(filter == before);
    }
    SUBCASE("absurdly large finite angles never yield infinities") {
        for (int i = 0; i < 10; ++i) {
            const double angle = (i % 2 ? 1 : -1) * std::numeric_limits<double>::max();
            const FilteredSample out = filter.ingest(angle, i * 1e-6);
            CHECK(std::isfinite(out.angle));
            CHECK(std::isfinite(out.velocity));
        }
    }
}

TEST_CASE("the zero tracker flags a sensor that has only ever read zero") {
    SensorZeroTracker tracker;
    CHECK_FALSE(tracker.readsOnlyZero());
    tracker.ingest(0.0);
    tracker.ingest(0.0);
    CHECK(tracker.readsOnlyZero());
    tracker.ingest(0.5);
    CHECK_FALSE(tracker.readsOnlyZero());
    tracker.ingest(0.0);
    CHECK_FALSE(tracker.readsOnlyZero());
    tracker.reset();
    CHECK(tracker == SensorZeroTracker{});
    tracker.ingest(0.0);
    CHECK(tracker.readsOnlyZero());
}
