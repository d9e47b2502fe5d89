// SPDX-License-Identifier: MIT
// Waiting in tests while the thread's Qt events run: timers, sockets, D-Bus
// replies and window-system events all arrive through them.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace orvane::test {

// Runs the events until `done` holds or `seconds` pass; whether it held. `done` may
// consume what it looks for, so it is not asked again once it said yes.
inline bool spinUntil(const std::function<bool()>& done, double seconds) {
    const QDeadlineTimer deadline(std::chrono::milliseconds(std::llround(seconds * 1000)));
    for (;;) {
        if (done()) {
            return true;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Without pending events processEvents returns at once: do not spin a core.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Runs the events for `seconds`, whatever they bring.
inline void spinFor(double seconds) {
    spinUntil([] { return false; }, seconds);
}

} // namespace orvane::test
