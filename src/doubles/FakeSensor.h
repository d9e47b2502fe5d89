// SPDX-License-Identifier: MIT
// A simulated lid sensor under the real sensor service: the device answers
// from `FakeSensorState`, the poller's timer and the main thread run on a
// manual clock.
#pragma once

#include "doubles/EffectDoubles.h"
#include "sensor/LidSensorService.h"
#include "sensor/LidSource.h"
#include "sensor/LidSourceChain.h"
#include "sensor/SensorPoller.h"

#include <optional>
#include <vector>

namespace orvane {

struct FakeSensorState {
    bool openResult = true;
    std::optional<double> readResult; // none: every read fails
    int openCalls = 0;
    int closeCalls = 0;
    int readCalls = 0;
    int samples = 0;
    std::vector<bool> events; // availability changes as the service delivered them
};

// The device: answers and counts as the state says.
class FakeLidSource final : public LidSource {
public:
    explicit FakeLidSource(FakeSensorState& state, const ManualScheduler& clock)
        : state_(state), clock_(clock) {}

    std::string_view name() const override { return "fake"; }
    bool open() override;
    void close() override;
    std::optional<LidReading> read() override;

    std::vector<double> openTimes;

private:
    FakeSensorState& state_;
    const ManualScheduler& clock_;
};

// The service, its poller and the chain over one fake device. The sensor's
// thread runs posted work at once; the main thread's work waits for the
// clock to move, as a real event loop would.
class FakeSensorRig {
public:
    FakeSensorRig();

    ManualScheduler scheduler;
    FakeSensorState state;
    std::vector<double> samples;         // angles delivered on the main thread
    std::vector<int> samplesBeforeEvent; // the sample count as each event arrived

    LidSensorService& service() { return service_; }
    SensorPoller& poller() { return poller_; }
    const std::vector<double>& openTimes() const { return source_->openTimes; }
    void run(double seconds) { scheduler.advanceBy(seconds); }

private:
    struct Timer final : SensorPoller::Timer {
        Timer(ManualScheduler& scheduler, SensorPoller*& poller)
            : scheduler(scheduler), poller(poller) {}
        ManualScheduler& scheduler;
        SensorPoller*& poller;
        std::optional<Scheduler::Handle> handle;
        void schedule(std::int64_t intervalNanoseconds, std::int64_t leewayNanoseconds) override;
    };

    SensorPoller* pollerRef_ = nullptr;
    Timer timer_{scheduler, pollerRef_};
    FakeLidSource* source_;
    LidSourceChain chain_;
    SensorPoller poller_;
    LidSensorService service_;
};

} // namespace orvane
