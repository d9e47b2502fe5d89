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

} // namespace orvane
