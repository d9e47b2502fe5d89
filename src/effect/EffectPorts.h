// SPDX-License-Identifier: MIT
// What the effect controller drives and asks, each behind a small interface:
// the platform adapters implement them, the tests and the self-check bring
// doubles.
#pragma once

#include "capture/CaptureControl.h"
#include "core/Scheduler.h"
#include "cover/CoverControl.h"
#include "effect/FrameRateCap.h"
#include "sensor/LidSensorControl.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace orvane {

class AccordionControl {
public:
    virtual ~AccordionControl() = default;
    virtual void setEnabled(bool enabled, double volume) = 0;
    virtual void update(double angle, double velocity, double time) = 0;
};

// The global Escape key, held while the overlay shows.
class EscapeKeyControl {
public:
    virtual ~EscapeKeyControl() = default;
    virtual void registerKey() = 0;
    virtual void unregisterKey() = 0;
};

// The clear click and the haptic tick.
class FeedbackControl {
public:
    virtual ~FeedbackControl() = default;
    virtual void playClick(double volume) = 0;
    virtual void haptic() = 0;
};

struct Clock {
    std::function<double()> media; // monotonic seconds, the lid samples' clock
    std::function<double()> wall;  // seconds, for the preview idle rule
};

// What the system's events tell the controller: the platform's listeners call
// these on the main thread, in the order the events came.
class SystemEventsListener {
public:
    virtual ~SystemEventsListener() = default;
    virtual void willSleep() = 0;
    virtual void didWake() = 0;
    virtual void screenLocked(bool locked) = 0;
    virtual void sessionActive(bool active) = 0;
    virtual void screensSlept(bool asleep) = 0;
    // Screens added, removed or resized.
    virtual void screenParametersChanged() = 0;
    // Battery or mains, or Low Power Mode; the controller reads SystemFacts again.
    virtual void powerStateChanged() = 0;
    virtual void thermalStateChanged() = 0;
    virtual void reduceMotionChanged() = 0;
    virtual void frontmostAppChanged() = 0;
};

// Facts about the machine the controller reads when it needs them.
class SystemFacts {
public:
    struct FrontmostApp {
        std::string appID;
        std::optional<std::string> name;
    };

    virtual ~SystemFacts() = default;
    // None when no battery is found or the power state cannot be read.
    virtual std::optional<bool> onBattery() const = 0;
    virtual ThermalState thermalState() const = 0;
    virtual bool lowPowerMode() const = 0;
    virtual bool reduceMotion() const = 0;
    virtual std::optional<FrontmostApp> frontmostApp() const = 0;
};

} // namespace orvane
