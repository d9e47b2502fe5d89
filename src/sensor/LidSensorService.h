// SPDX-License-Identifier: MIT
// The main thread's face of the sensor poller: starts it, changes its rate,
// reopens it after a wake, and hands its samples and open/closed changes to
// the main thread in the order the poller produced them.
#pragma once

#include "sensor/LidSample.h"
#include "sensor/LidSensorControl.h"
#include "sensor/SensorPoller.h"
#include "sensor/SensorRate.h"

#include <functional>
#include <optional>

namespace orvane {

// Lives as long as the poller it drives: both last until the process ends.
class LidSensorService final : public LidSensorControl {
public:
    // Runs work on the sensor's thread, with its poller.
    using PollerQueue = std::function<void(std::function<void(SensorPoller&)>)>;
    // Runs work later on the main thread, in the order posted.
    using MainThread = std::function<void(std::function<void()>)>;

    LidSensorService(PollerQueue poller, MainThread mainThread);

    void start() override;
    void setRate(SensorRate rate) override;
    void reopen() override;

    bool isAvailable() const { return available_; }

    std::function<void(const LidSample&)> onSample;
    std::function<void(bool open)> onAvailabilityChange;

private:
    void opened(bool open);

    PollerQueue poller_;
    MainThread mainThread_;
    bool available_ = false;
    // The controller states the rate at every step; only a change crosses to the thread.
    std::optional<SensorRate> rate_;
};

} // namespace orvane
