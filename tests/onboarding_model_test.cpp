// SPDX-License-Identifier: MIT
#include "sensor/LidCalibration.h"
#include "settings/OnboardingModel.h"
#include "support/FakeSettingsHost.h"

#include <doctest/doctest.h>

#include <vector>

using namespace orvane;
using Sensor = OnboardingModel::SensorState;

namespace {

struct Fixture {
    test::FakeSettingsHost host;
    std::vector<double> greetings;
    OnboardingModel model{host, [this](double volume) { greetings.push_back(volume); }};
};

} // namespace

TEST_CASE("the welcome's steps stay between the first and the last") {
    Fixture f;
    f.model.back();
    CHECK(f.model.step() == 1);
    for (int i = 0; i < 5; ++i) {
        f.model.next();
    }
    CHECK(f.model.step() == 4);
    f.model.reset();
    CHECK(f.model.step() == 1);
}

TEST_CASE("the sensor works only after the lid moved 3 degrees while the window is open") {
    Fixture f;
    CHECK(f.model.sensorState() == Sensor::waiting);
    for (const double angle : {100.0, 101.0, 102.9}) {
        f.model.lidSample(angle);
    }
    CHECK(f.model.sensorState() == Sensor::waiting);
    f.model.lidSample(103);
    CHECK(f.model.sensorState() == Sensor::works);

    SUBCASE("and never falls back while open") {
        f.host.facts = {false, false};
        f.model.lidSample(std::nullopt);
        f.model.availabilityChanged(Availability::noSensor(false));
        CHECK(f.model.sensorState() == Sensor::works);
    }
    SUBCASE("but the lid must move again when it opens again") {
        f.model.reset();
        f.model.lidSample(103);
        f.model.lidSample(105.5);
        CHECK(f.model.sensorState() == Sensor::waiting);
    }
}

TEST_CASE("a sensor that reads only zeros or is missing says so") {
    Fixture f;
    f.host.facts = {true, true};
    f.model.availabilityChanged(Availability::noSensor(true));
    CHECK(f.model.sensorState() == Sensor::readsZero);
    f.host.facts = {false, false};
    f.model.lidSample(std::nullopt);
    CHECK(f.model.sensorState() == Sensor::noDevice);
}

TEST_CASE("the clear angle is set from the lid only for a plausible reading") {
    Fixture f;
    f.model.setClearAngleFromLid();
    f.model.lidSample(10); // too far closed to calibrate with
    CHECK_FALSE(f.model.lidCalibrationEnabled());
    f.model.setClearAngleFromLid();
    CHECK(f.host.edits == 0);

    f.model.lidSample(112);
    REQUIRE(f.model.lidCalibrationEnabled());
    f.model.setClearAngleFromLid();
    CHECK(f.host.live.clearAngle == LidCalibration::storedValue(112));
}

TEST_CASE("leaving the welcome marks it completed, and only finishing greets") {
    Fixture f;
    f.host.live.setAccordionVolume(0.25);
    SUBCASE("finish greets at the accordion volume") {
        f.model.finish();
        CHECK(f.greetings == std::vector<double>{0.25});
    }
    SUBCASE("skip is silent") {
        f.model.skip();
        CHECK(f.greetings.empty());
    }
    CHECK(f.host.live.hasCompletedOnboarding);
}
