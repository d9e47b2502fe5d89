// SPDX-License-Identifier: MIT
#include "settings/OnboardingModel.h"

#include "core/Tuning.h"
#include "sensor/LidCalibration.h"

#include <algorithm>
#include <cmath>

namespace orvane {

OnboardingModel::OnboardingModel(SettingsHost& host,
                                 std::function<void(double accordionVolume)> greet)
    : host_(host), greet_(std::move(greet)), settings_(host.settings()),
      availability_(host.availability()) {
    deriveSensorState();
}

void OnboardingModel::changed() {
    if (onChange) {
        onChange();
    }
}

void OnboardingModel::next() {
    step_ = std::min(step_ + 1, lastStep);
    changed();
}

void OnboardingModel::back() {
    step_ = std::max(step_ - 1, firstStep);
    changed();
}

void OnboardingModel::reset() {
    step_ = firstStep;
    firstAngle_.reset();
    sensorState_ = SensorState::waiting;
    settings_ = host_.settings();
    availability_ = host_.availability();
    deriveSensorState();
    changed();
}

void OnboardingModel::settingsChanged(const FoldSettings& settings) {
    settings_ = settings;
    changed();
}

void OnboardingModel::availabilityChanged(const Availability& availability) {
    availability_ = availability;
    deriveSensorState();
    changed();
}

void OnboardingModel::lidSample(std::optional<double> angle) {
    // A broken reading says nothing about the lid.
    if (!angle || !std::isfinite(*angle)) {
        deriveSensorState();
        changed();
        return;
    }
    lidAngle_ = angle;
    deriveSensorState();
    if (!firstAngle_) {
        firstAngle_ = angle;
    }
    if (std::abs(*angle - *firstAngle_) >= Tuning::welcomeSensorTravel) {
        sensorState_ = SensorState::works;
    }
    changed();
}

void OnboardingModel::deriveSensorState() {
    const SettingsHost::SensorFacts facts = host_.sensorFacts();
    lidCalibrationEnabled_ =
        LidCalibration::isPlausible(facts.open, facts.readsOnlyZero, lidAngle_);
    if (sensorState_ == SensorState::works) {
        return;
    }
    if (!facts.open) {
        sensorState_ = SensorState::noDevice;
    } else {
        sensorState_ = facts.readsOnlyZero ? SensorState::readsZero : SensorState::waiting;
    }
}

bool OnboardingModel::screenCaptureGranted() const {
    return availability_.kind() != Availability::Kind::noPermission;
}

void OnboardingModel::edit(const std::function<void(FoldSettings&)>& body) {
    host_.editSettings(body);
}

void OnboardingModel::setClearAngleFromLid() {
    if (!lidCalibrationEnabled_ || !lidAngle_) {
        return;
    }
    const double clearAngle = LidCalibration::storedValue(*lidAngle_);
    host_.editSettings([clearAngle](FoldSettings& s) { s.setClearAngle(clearAngle); });
}

void OnboardingModel::finish() {
    skip();
    if (greet_) {
        // Whether or not the accordion is on: the greeting is the welcome's own.
        greet_(host_.settings().accordionVolume);
    }
}

void OnboardingModel::skip() {
    host_.editSettings([](FoldSettings& s) { s.setHasCompletedOnboarding(true); });
}

} // namespace orvane
