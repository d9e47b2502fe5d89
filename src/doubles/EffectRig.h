// SPDX-License-Identifier: MIT
// An effect controller over a throwaway settings store and quiet ports: no
// screen, sensor, sound or capture, and time only where the owner moves it.
// The self-check drives it; the screenshots render their windows from it.
#pragma once

#include "capture/CaptureControl.h"
#include "cover/CoverControl.h"
#include "doubles/EffectDoubles.h"
#include "doubles/FakeFoldDisplay.h"
#include "effect/EffectController.h"
#include "sensor/LidSensorControl.h"
#include "settings/MemorySettingsStore.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvane {

// A desktop ready as soon as it is asked for, and always permitted.
struct QuietCapture final : CaptureControl {
    bool desired = false;
    bool hasFrameForCurrentStream() const override { return desired; }
    bool hasPermission() const override { return true; }
    bool permissionForGateStep(bool) override { return true; }
    bool refreshPermission() override { return true; }
    bool isCapturing() const override { return desired; }
    bool isStarting() const override { return false; }
    bool isDesired() const override { return desired; }
    bool isFailing() const override { return false; }
    void requestStart(std::int64_t) override { desired = true; }
    void stop() override { desired = false; }
    void prepare() override {}
    void invalidatePrepared() override {}
};

// The sensor, cover, accordion, Escape key and feedback doing nothing but count clicks.
struct QuietPorts final : LidSensorControl,
                          CoverControl,
                          AccordionControl,
                          EscapeKeyControl,
                          FeedbackControl {
    explicit QuietPorts(int& clicks) : clicks(clicks) {}
    int& clicks;
    void start() override {}
    void setRate(SensorRate) override {}
    void reopen() override {}
    void coverAppeared(CoverMode, bool) override {}
    void coverEnded() override {}
    void setEnabled(bool, double) override {}
    void update(double, double, double) override {}
    void registerKey() override {}
    void unregisterKey() override {}
    void playClick(double) override { ++clicks; }
    void haptic() override {}
};

class EffectRig {
public:
    // `suite` names the throwaway store, after the application's identifier.
    explicit EffectRig(std::string suite, const FoldSettings& initial = {});

    std::string suite;
    MemorySettingsStore store;
    ManualScheduler scheduler;
    FakeSystem system;
    Notes notes;
    int clicks = 0;
    QuietCapture capture;
    FakeFoldDisplay display{capture};

    EffectController& controller() { return *controller_; }

private:
    QuietPorts quiet_{clicks};
    std::unique_ptr<EffectController> controller_;
};

} // namespace orvane
