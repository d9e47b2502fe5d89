// SPDX-License-Identifier: MIT
#include "platform/LinuxSystem.h"

#include "core/Tuning.h"

#include <chrono>

namespace orvane {

LinuxSystem::LinuxSystem(Sources sources)
    : sources_(std::move(sources)), dbus_(*this, sources_.log), desktop_(*this, sources_.catalog),
      thermal_(sources_.sysfsRoot, *this) {}

void LinuxSystem::start() {
    thermal_.start();
    if (!sources_.x11Session || !desktop_.start()) {
        sources_.log.note("system", "No X11 display: the app in front, the screens and their "
                                    "sleep are not followed.");
    }
    poll_.setInterval(
        std::chrono::milliseconds(static_cast<int>(Tuning::thermalPollInterval * 1000)));
    // The poll need not be punctual: let the system fold it into other wake-ups.
    poll_.setTimerType(Qt::VeryCoarseTimer);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
        thermal_.poll();
        desktop_.pollScreenPower();
    });
    poll_.start();
}

void LinuxSystem::compositorFrontmostApp(const std::string& appID) {
    std::optional<FrontmostApp> now;
    if (!appID.empty()) {
        const std::optional<InstalledApp> installed = sources_.catalog.installedApp(appID);
        now = FrontmostApp{appID, installed ? std::optional(installed->name) : std::nullopt};
    }
    const auto same = [](const std::optional<FrontmostApp>& a,
                         const std::optional<FrontmostApp>& b) {
        return a.has_value() == b.has_value() &&
               (!a || (a->appID == b->appID && a->name == b->name));
    };
    const bool changed = !fromCompositor_ || !same(now, compositorFront_);
    fromCompositor_ = true;
    compositorFront_ = std::move(now);
    if (changed) {
        sources_.listener.frontmostAppChanged();
    }
}

} // namespace orvane
