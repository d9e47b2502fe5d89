// SPDX-License-Identifier: MIT
// What the lid's sources read: IIO values and mount matrices, the hinge angle
// of two accelerometers, HID reports as hidapi returns them, and the probe's line.
#include "sensor/HingeGeometry.h"
#include "sensor/IioValue.h"
#include "sensor/LidReport.h"
#include "sensor/ProbeReport.h"

#include <doctest/doctest.h>

#include <cmath>
#include <numbers>

using namespace orvane;

namespace {

constexpr double g = 9.80665;

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Gravity as both accelerometers feel it for a laptop opened `opening`
// degrees, pitched forward about the hinge and rolled sideways.
std::pair<HingeGeometry::Vector, HingeGeometry::Vector> pose(double opening, double pitch,
                                                             double roll) {
    // "Up" in the base's frame: level is +z; roll tips it toward x, pitch turns it about x.
    const double p = radians(pitch);
    const double r = radians(roll);
    const HingeGeometry::Vector up{g * std::sin(r), g * std::cos(r) * std::sin(p),
                                   g * std::cos(r) * std::cos(p)};
    // The display's frame is the base's turned about the hinge by opening + 180 degrees.
    const double a = radians(opening);
    const HingeGeometry::Vector display{up[0], -std::cos(a) * up[1] + std::sin(a) * up[2],
                                        -std::sin(a) * up[1] - std::cos(a) * up[2]};
    return {up, display};
}

} // namespace

TEST_CASE("IIO values read as their sysfs files hold them") {
    CHECK(IioValue::number("110\n") == 110.0);
    CHECK(IioValue::number(" -12 ") == -12.0);
    CHECK(IioValue::number("0.000598550\n") == doctest::Approx(0.00059855));
    for (const char* bad : {"", "\n", "12 degrees", "0x10", "nan", "1e999", "--1"}) {
        CAPTURE(bad);
        CHECK_FALSE(IioValue::number(bad));
    }
    SUBCASE("a mount matrix is nine numbers in three rows") {
        CHECK(IioValue::mountMatrix("1, 0, 0; 0, 1, 0; 0, 0, 1") == IioValue::identity);
        CHECK(IioValue::mountMatrix("0, -1, 0; 1, 0, 0; 0, 0, -1\n") ==
              IioValue::MountMatrix{0, -1, 0, 1, 0, 0, 0, 0, -1});
        for (const char* bad : {"", "1, 0, 0; 0, 1, 0", "1, 0, 0; 0, 1, 0; 0, 0, 1; 1, 1, 1",
                                "1, 0; 0, 1, 0; 0, 0, 1", "1, 0, 0, 0; 0, 1, 0; 0, 0, 1",
                                "1, 0, x; 0, 1, 0; 0, 0, 1"}) {
            CAPTURE(bad);
            CHECK_FALSE(IioValue::mountMatrix(bad));
        }
    }
    SUBCASE("the ChromeOS lid angle's 500 means it cannot tell") {
        CHECK(IioValue::crosEcLidAngle(110) == 110.0);
        CHECK_FALSE(IioValue::crosEcLidAngle(500));
        CHECK_FALSE(IioValue::crosEcLidAngle(-1));
    }
    SUBCASE("a hinge channel is (raw + offset) x scale radians") {
        CHECK(IioValue::radiansChannel(1000, 571, 0.001) ==
              doctest::Approx(1.571 * 180 / std::numbers::pi));
        CHECK_FALSE(IioValue::radiansChannel(-10, 0, 1));
        CHECK_FALSE(IioValue::radiansChannel(1, 0, std::nan("")));
    }
}

TEST_CASE("two accelerometers give the hinge angle in any pose that shows it") {
    for (double opening : {45.0, 90.0, 135.0, 180.0, 250.0}) {
        for (const auto& [pitch, roll] : {std::pair{0.0, 0.0},
                                          {30.0, 0.0},
                                          {-50.0, 0.0},
                                          {0.0, 40.0},
                                          {20.0, -35.0},
                                          {160.0, 10.0}}) {
            CAPTURE(opening);
            const auto pitchSeen = pitch; // clang cannot capture a binding
            CAPTURE(pitchSeen);
            const auto rollSeen = roll; // clang cannot capture a binding
            CAPTURE(rollSeen);
            const auto [base, display] = pose(opening, pitch, roll);
            const std::optional<double> angle = HingeGeometry::openingAngle(base, display);
            REQUIRE(angle);
            CHECK(*angle == doctest::Approx(opening).epsilon(1e-9));
        }
    }
    SUBCASE("no reading where the pose hides the angle") {
        // Closed and folded all the way back look alike.
        for (double opening : {0.0, 5.0, 358.0}) {
            const auto [base, display] = pose(opening, 0, 0);
            CHECK_FALSE(HingeGeometry::openingAngle(base, display));
        }
        // The hinge axis close to vertical: gravity barely crosses it.
        const auto [base, display] = pose(90, 0, 80);
        CHECK_FALSE(HingeGeometry::openingAngle(base, display));
        CHECK_FALSE(HingeGeometry::openingAngle({0, 0, 0}, {0, 0, 0}));
        CHECK_FALSE(HingeGeometry::openingAngle({0, 0, std::nan("")}, {0, g, 0}));
    }
    SUBCASE("a mount matrix turns a raw reading into the part's frame") {
        CHECK(HingeGeometry::mounted({0, -1, 0, 1, 0, 0, 0, 0, -1}, {1, 2, 3}) ==
              HingeGeometry::Vector{-2, 1, -3});
    }
}

TEST_CASE("a feature report read through hidapi keeps the device's layout") {
    // hidapi leaves the report id in byte 0 and counts it in what it returns.
    const std::uint8_t buffer[8] = {1, 110, 0, 7, 7, 7, 7, 7};
    const auto report = LidReport::featureReport(buffer, 3);
    REQUIRE(report);
    CHECK(*report == std::vector<std::uint8_t>{1, 110, 0});
    CHECK(LidReport::parse(*report) == 110.0);
    CHECK(LidReport::featureReport(buffer, 8)->size() == 8);
    CHECK(LidReport::featureReport(buffer, 99)->size() == 8);
    CHECK_FALSE(LidReport::featureReport(buffer, 2));
    CHECK_FALSE(LidReport::featureReport(buffer, -1));
    CHECK(LidReport::hex(*report) == "016e00");
    CHECK(LidReport::readsZero(std::vector<std::uint8_t>{1, 0, 0}));
    CHECK_FALSE(LidReport::readsZero(*report));
}

TEST_CASE("the probe's line says what was found, read and decoded") {
    const ProbeReport::Machine machine{"ThinkPad X1", "6.1.0-13-amd64"};
    const std::string head = "model=ThinkPad X1 os=6.1.0-13-amd64 sensor=";
    const auto line = [&](const std::optional<std::string>& source,
                          const std::vector<LidReading>& kept) {
        return ProbeReport::describe(machine, source, kept);
    };
    CHECK(line(std::nullopt, {}).line ==
          head + "no angle=- raw=- source=none note=device not found or cannot be opened");
    CHECK(line(std::nullopt, {}).status == 3);
    CHECK(line("hidraw", {}).line ==
          head + "yes angle=- raw=- source=hidraw note=device opened but every report read failed");
    CHECK(line("hidraw", {}).status == 3);
    const auto unparsed = line("hidraw", {{"01ffff", std::nullopt, false}});
    CHECK(unparsed.line == head + "yes angle=- raw=01ffff source=hidraw note=reports read but "
                                  "none parsed as a plausible angle");
    CHECK(unparsed.status == 3);
    const auto closed = line("hidraw", {{"010000", 0.0, true}, {"010000", 0.0, true}});
    CHECK(closed.line == head + "yes angle=0.0 raw=010000 source=hidraw note=reads 0 on every "
                                "sample; lid closed or sensor unreadable");
    CHECK(closed.status == 0);
    const auto ok = line("iio-lid", {{"0", 0.0, true}, {"112", 112.0, false}, {"500", {}, false}});
    CHECK(ok.line == head + "yes angle=112.0 raw=500 source=iio-lid note=ok");
    CHECK(ok.status == 0);
}
