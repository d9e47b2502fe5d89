// SPDX-License-Identifier: MIT
// The main thread's timers over QTimer, on a real event loop.
#include "platform/QtScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <doctest/doctest.h>

#include <string>
#include <vector>

using namespace orvane;

namespace {

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "orvane_qt_scheduler_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

void run(double seconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
}

} // namespace

TEST_CASE("timers fire in time order, repeat until cancelled, and a cancelled one never fires") {
    application();
    QtScheduler scheduler;
    std::vector<std::string> fired;
    scheduler.after(0.03, [&] { fired.push_back("late"); });
    scheduler.after(0, [&] { fired.push_back("now"); });
    const Scheduler::Handle cancelled =
        scheduler.after(0.01, [&] { fired.push_back("cancelled"); });
    int ticks = 0;
    Scheduler::Handle repeating = 0;
    repeating = scheduler.every(0.005, [&] {
        if (++ticks == 3) {
            scheduler.cancel(repeating); // from inside its own work
        }
    });
    // Cancelled by a timer due at the same moment, before its own turn.
    Scheduler::Handle second = 0;
    scheduler.after(0.015, [&] { scheduler.cancel(second); });
    second = scheduler.after(0.015, [&] { fired.push_back("second"); });
    scheduler.cancel(cancelled);
    run(0.1);
    CHECK(fired == std::vector<std::string>{"now", "late"});
    CHECK(ticks == 3);
}

TEST_CASE("timers of a scheduler that is gone never fire") {
    application();
    bool fired = false;
    {
        QtScheduler scheduler;
        scheduler.after(0, [&] { fired = true; });
    }
    run(0.02);
    CHECK_FALSE(fired);
}
