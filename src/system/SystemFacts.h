// SPDX-License-Identifier: MIT
// The machine as the effect controller sees it: the facts it reads when it
// needs them, and the events the platform's listeners tell it.
#pragma once

#include <optional>
#include <string>

namespace orvane {

enum class ThermalState { nominal, fair, serious, critical };

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
