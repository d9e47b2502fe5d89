// SPDX-License-Identifier: MIT
// The running application on its own Xvfb with a lid that reports through a
// scripted reader: its CPU over 30 s at rest (the sensor polled at 10 Hz) and
// its resident memory; then the time from the closing lid passing the clear
// angle + 8 to the first folded frame on screen. Prints figures only.
#include "app/linux/OrvaneApp.h"
#include "capture/CaptureService.h"
#include "effect/EffectController.h"
#include "platform/MonotonicClock.h"
#include "render/linux/OverlayPanel.h"
#include "settings/FoldSettings.h"
#include "settings/linux/IniSettingsStore.h"
#include "support/XvfbDesktop.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>

using namespace orvane;

namespace {

constexpr double restSeconds = 30.0;
constexpr int latencyRuns = 5;
constexpr double closingSpeed = 120.0; // degrees a second

std::string residentMemory() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return line.substr(6);
        }
    }
    return "unknown";
}

// CPU seconds by thread name, summed over threads of one name (the scheduler's own count,
// in nanoseconds, finer than the clock ticks of getrusage).
std::map<std::string, double> threadCPU() {
    std::map<std::string, double> spent;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        std::ifstream schedstat(task.path() / "schedstat");
        double nanoseconds = 0;
        schedstat >> nanoseconds;
        spent[name] += nanoseconds * 1e-9;
    }
    return spent;
}

void runFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main() {
    test::XvfbDesktop desktop("1512x982x24");
    test::ScopedEnv systemBus("DBUS_SYSTEM_BUS_ADDRESS",
                              "unix:path=" + (desktop.home.path() / "no-bus").string());
    int argc = 1;
    char name[] = "bench_app";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);

    const std::string settingsPath = (desktop.home.path() / "settings.ini").string();
    {
        IniSettingsStore store(settingsPath);
        FoldSettings settings;
        settings.builtInScreen = "screen";
        settings.hasCompletedOnboarding = true;
        (void)settings.save(store);
    }
    std::atomic<double> lid{120.0};
    std::atomic<int> reads{0};
    OrvaneApp::Options options;
    options.settingsPath = settingsPath;
    options.sensorReader = SensorPoller::Reader{[] { return true; }, [] {},
                                                [&]() -> std::optional<double> {
                                                    ++reads;
                                                    return lid.load();
                                                }};
    OrvaneApp app(options);
    app.launch();
    if (app.effect() == nullptr) {
        std::printf("app: no OpenGL 3.3 context, nothing to measure\n");
        return 1;
    }
    runFor(2.0);

    const int readsBefore = reads;
    const auto threadsBefore = threadCPU();
    runFor(restSeconds);
    double spent = 0;
    std::string byThread;
    for (const auto& [name, seconds] : threadCPU()) {
        const auto before = threadsBefore.find(name);
        const double used = seconds - (before != threadsBefore.end() ? before->second : 0.0);
        spent += used;
        if (used > 0) {
            byThread += "  " + name + " " + std::to_string(used / restSeconds * 100) + " %\n";
        }
    }
    std::printf("rest      %.3f %% of a core over %.0f s (%.1f sensor reads a second), "
                "resident memory%s\n",
                spent / restSeconds * 100, restSeconds, (reads - readsBefore) / restSeconds,
                residentMemory().c_str());
    std::printf("%s", byThread.c_str());

    const double start = app.effect()->settings().clearAngle + 8;
    std::vector<double> latencies;
    for (int run = 0; run < latencyRuns; ++run) {
        lid = 120;
        runFor(1.5);
        const int drawnBefore = app.panel() != nullptr ? app.panel()->drawCount() : 0;
        const double began = monotonicSeconds();
        std::optional<double> crossed;
        std::optional<double> shown;
        std::optional<double> captured;
        std::optional<double> drawn;
        while (!shown && monotonicSeconds() - began < 3.0) {
            const double angle = std::max(60.0, 120 - closingSpeed * (monotonicSeconds() - began));
            lid = angle;
            if (!crossed && angle <= start) {
                crossed = monotonicSeconds();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            OverlayPanel* panel = app.panel();
            if (crossed && !captured && app.capture()->hasFrameForCurrentStream()) {
                captured = monotonicSeconds();
            }
            if (crossed && !drawn && panel != nullptr && panel->drawCount() > drawnBefore) {
                drawn = monotonicSeconds();
            }
            if (crossed && panel != nullptr && panel->isExposed() &&
                panel->drawCount() > drawnBefore) {
                shown = monotonicSeconds();
            }
        }
        if (crossed && captured && drawn && shown) {
            std::printf("  close %d: first captured frame %.0f ms, first draw %.0f ms, on screen "
                        "%.0f ms\n",
                        run, (*captured - *crossed) * 1000, (*drawn - *crossed) * 1000,
                        (*shown - *crossed) * 1000);
        }
        if (crossed && shown) {
            latencies.push_back((*shown - *crossed) * 1000);
        }
        lid = 120;
        runFor(1.5);
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) {
        std::printf("latency   no folded frame appeared\n");
        return 1;
    }
    std::printf("latency   clear angle + 8 to the first folded frame on screen: median %.1f ms, "
                "worst %.1f ms over %zu closes at %.0f deg/s\n",
                latencies[latencies.size() / 2], latencies.back(), latencies.size(), closingSpeed);
    return 0;
}
