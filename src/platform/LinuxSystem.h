// SPDX-License-Identifier: MIT
// The machine as the effect controller sees it on a Linux desktop: the
// system's D-Bus services, the X11 desktop and the thermal zones, their
// events told to the listener and their facts answered as SystemFacts. The
// zones and the screens' power send no events: both are read on one slow poll.
#pragma once

#include "platform/DBusSystemEvents.h"
#include "platform/ThermalMonitor.h"
#include "platform/X11Desktop.h"
#include "system/SystemFacts.h"

#include <QTimer>

#include <functional>
#include <optional>

namespace orvane {

class LinuxSystem final : public SystemFacts, private SystemEventsListener {
public:
    struct Sources {
        SystemEventsListener& listener;
        const AppCatalog& catalog;
        SystemLog& log;
        std::filesystem::path sysfsRoot = "/sys";
        // The application runs on X11: only then is the desktop read through X.
        bool x11Session = true;
    };

    explicit LinuxSystem(Sources sources);

    // Reads every source once and starts listening; events go to the listener from here on.
    void start();

    std::optional<bool> onBattery() const override { return dbus_.onBattery(); }
    ThermalState thermalState() const override { return thermal_.state(); }
    bool lowPowerMode() const override { return dbus_.lowPowerMode(); }
    bool reduceMotion() const override { return dbus_.reduceMotion(); }
    std::optional<FrontmostApp> frontmostApp() const override {
        return fromCompositor_ ? compositorFront_ : desktop_.frontmostApp();
    }
    // The compositor says which app is in front (its Orvane plug-in, where X11 cannot):
    // from now on it answers, and a change is told to the listener.
    void compositorFrontmostApp(const std::string& appID);

    const DBusSystemEvents& dbus() const { return dbus_; }
    bool darkAppearance() const { return dbus_.darkAppearance(); }
    // The desktop's colour scheme turned dark (true) or light.
    void onAppearanceChanged(std::function<void(bool dark)> changed) {
        dbus_.onAppearanceChanged = std::move(changed);
    }
    const X11Desktop& desktop() const { return desktop_; }
    std::vector<RunningApp> runningApps() const { return desktop_.runningApps(); }

private:
    // Every event passes through on its way to the listener.
    void willSleep() override { sources_.listener.willSleep(); }
    void didWake() override { sources_.listener.didWake(); }
    void screenLocked(bool locked) override { sources_.listener.screenLocked(locked); }
    void sessionActive(bool active) override { sources_.listener.sessionActive(active); }
    void screensSlept(bool asleep) override { sources_.listener.screensSlept(asleep); }
    void screenParametersChanged() override { sources_.listener.screenParametersChanged(); }
    void powerStateChanged() override { sources_.listener.powerStateChanged(); }
    void thermalStateChanged() override { sources_.listener.thermalStateChanged(); }
    void reduceMotionChanged() override { sources_.listener.reduceMotionChanged(); }
    void frontmostAppChanged() override { sources_.listener.frontmostAppChanged(); }

    Sources sources_;
    DBusSystemEvents dbus_;
    X11Desktop desktop_;
    ThermalMonitor thermal_;
    QTimer poll_;
    bool fromCompositor_ = false;
    std::optional<FrontmostApp> compositorFront_;
};

} // namespace orvane
