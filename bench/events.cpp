// SPDX-License-Identifier: MIT
// The system-events adapter at rest: how often its threads wake up on a quiet
// desktop (its own timers and polls; no signals arrive) and how much memory
// the process holds. Run it under a session with an X display and buses, e.g.
// `dbus-run-session -- xvfb-run -a build/bench/bench_events [seconds]`. Prints figures only.
#include "core/Tuning.h"
#include "platform/JournalLog.h"
#include "platform/LinuxSystem.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace orvane;

namespace {

struct Quiet final : SystemEventsListener {
    int events = 0;
    void willSleep() override { ++events; }
    void didWake() override { ++events; }
    void screenLocked(bool) override { ++events; }
    void sessionActive(bool) override { ++events; }
    void screensSlept(bool) override { ++events; }
    void screenParametersChanged() override { ++events; }
    void powerStateChanged() override { ++events; }
    void thermalStateChanged() override { ++events; }
    void reduceMotionChanged() override { ++events; }
    void frontmostAppChanged() override { ++events; }
};

struct NoApps final : AppCatalog {
    std::optional<InstalledApp> installedApp(const std::string&) const override { return {}; }
    std::vector<RunningApp> runningApps() const override { return {}; }
};

// Context switches of every thread of the process so far: each is a wake-up or a preemption.
long long contextSwitches() {
    long long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        std::string key;
        long long value = 0;
        while (status >> key) {
            if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") {
                status >> value;
                total += value;
            }
        }
    }
    return total;
}

long long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    QCoreApplication app(argc, argv);
    Quiet listener;
    NoApps catalog;
    JournalLog log;
    LinuxSystem system({listener, catalog, log});
    system.start();
    long long before = 0;
    // Let start-up settle before counting.
    QTimer::singleShot(2000, [&] { before = contextSwitches(); });
    QTimer::singleShot(static_cast<int>(2000 + seconds * 1000), [&] {
        const long long wakes = contextSwitches() - before;
        std::printf("%.0f s at rest: %lld wake-ups = %.1f a minute (the thermal poll alone: "
                    "%.1f a minute), %d events, resident %lld KiB\n",
                    seconds, wakes, wakes * 60.0 / seconds, 60.0 / Tuning::thermalPollInterval,
                    listener.events, residentKiB());
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}
