// SPDX-License-Identifier: MIT
#include "accordion/linux/AccordionLiveTest.h"

#include "accordion/AccordionEngine.h"
#include "core/ExitStatus.h"
#include "sensor/AngleFilter.h"
#include "sound/linux/SdlAudioOutput.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace orvane {

namespace {

constexpr double volume = 0.15;
constexpr int closeSteps = 72;
constexpr double stepDegrees = 0.6666666666666666; // 80 degrees per second at 120 Hz
constexpr double stepSeconds = 1.0 / 120.0;
constexpr double startAngle = 110.0;
constexpr auto soundTime = std::chrono::seconds(2);

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The test blocks its thread instead of running an event loop, so the quiet
// check never gets a turn; switching the accordion off stops the output itself.
class IdleScheduler final : public Scheduler {
public:
    Handle after(double, std::function<void()>) override { return ++last_; }
    Handle every(double, std::function<void()>) override { return ++last_; }
    void cancel(Handle) override {}

private:
    Handle last_ = 0;
};

} // namespace

int AccordionLiveTest::run() {
    SdlAudioOutput output;
    IdleScheduler scheduler;
    AccordionEngine engine({output, scheduler, monotonicSeconds});
    engine.setEnabled(true, volume);
    AngleFilter filter;

    double angle = startAngle;
    double t = monotonicSeconds();
    for (int i = 0; i < closeSteps; ++i) {
        angle -= stepDegrees;
        t += stepSeconds;
        const FilteredSample sample = filter.ingest(angle, t);
        engine.update(sample.angle, sample.velocity, t);
    }
    if (!engine.running()) {
        std::cerr << "accordion-live-test: engine did not start (no usable output device?)\n";
        return ExitStatus::failure;
    }
    std::this_thread::sleep_for(soundTime);
    engine.setEnabled(false, volume);
    if (engine.running()) {
        std::cerr << "accordion-live-test: engine did not stop\n";
        return ExitStatus::failure;
    }
    std::cout << "accordion-live-test: started on the default output, sounded 2 s, stopped "
                 "cleanly\n";
    return ExitStatus::success;
}

} // namespace orvane
