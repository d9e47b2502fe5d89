// SPDX-License-Identifier: MIT
// The state behind the welcome window: its step, the lid-sensor check and the
// actions that finish or skip it, all through the effect's settings host.
#pragma once

#include "core/Availability.h"
#include "settings/FoldSettings.h"
#include "settings/SettingsModel.h"

#include <functional>
#include <optional>

namespace orvane {

class OnboardingModel {
public:
    enum class SensorState { waiting, works, noDevice, readsZero };

    static constexpr int firstStep = 1;
    static constexpr int lastStep = 4;

    // `greet` plays the hello chord at the volume it is given.
    OnboardingModel(SettingsHost& host, std::function<void(double accordionVolume)> greet);

    // Called after anything the window shows has changed.
    std::function<void()> onChange;

    void next();
    void back();
    // For a window that opens again: first step, and the lid must move again
    // before the sensor counts as working.
    void reset();

    // Forwarded from the effect controller.
    void settingsChanged(const FoldSettings& settings);
    void availabilityChanged(const Availability& availability);
    void lidSample(std::optional<double> angle);

    void edit(const std::function<void(FoldSettings&)>& body);
    void setClearAngleFromLid();
    // Marks the welcome completed and plays the greeting.
    void finish();
    // Marks the welcome completed, silently.
    void skip();

    int step() const { return step_; }
    const FoldSettings& settings() const { return settings_; }
    bool screenCaptureGranted() const;
    SensorState sensorState() const { return sensorState_; }
    std::optional<double> lidAngle() const { return lidAngle_; }
    bool lidCalibrationEnabled() const { return lidCalibrationEnabled_; }

private:
    void deriveSensorState();
    void changed();

    SettingsHost& host_;
    std::function<void(double)> greet_;
    int step_ = firstStep;
    FoldSettings settings_;
    Availability availability_;
    SensorState sensorState_ = SensorState::waiting;
    std::optional<double> lidAngle_;
    std::optional<double> firstAngle_;
    bool lidCalibrationEnabled_ = false;
};

} // namespace orvane
