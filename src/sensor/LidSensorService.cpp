// SPDX-License-Identifier: MIT
#include "sensor/LidSensorService.h"

namespace orvane {

LidSensorService::LidSensorService(PollerQueue poller, MainThread mainThread)
    : poller_(std::move(poller)), mainThread_(std::move(mainThread)) {}

void LidSensorService::start() {
    // The handlers run on the sensor's thread and only hop to the main thread.
    auto onOpen = [this](bool open) { mainThread_([this, open] { opened(open); }); };
    auto onPolled = [this](const LidSample& sample) {
        mainThread_([this, sample] {
            if (onSample) {
                onSample(sample);
            }
        });
    };
    poller_([onOpen, onPolled](SensorPoller& poller) { poller.start(onOpen, onPolled); });
}

void LidSensorService::setRate(SensorRate rate) {
    if (rate_ == rate) {
        return;
    }
    rate_ = rate;
    poller_([rate](SensorPoller& poller) { poller.setRate(rate); });
}

void LidSensorService::reopen() {
    poller_([](SensorPoller& poller) { poller.reopen(); });
}

void LidSensorService::opened(bool open) {
    if (open == available_) {
        return;
    }
    available_ = open;
    if (onAvailabilityChange) {
        onAvailabilityChange(open);
    }
}

} // namespace orvane
