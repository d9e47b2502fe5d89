// SPDX-License-Identifier: MIT
#include "sensor/SensorPoller.h"

#include "core/Tuning.h"

namespace orvane {

SensorPoller::SensorPoller(Reader reader, Timer& timer, std::function<double()> now)
    : reader_(std::move(reader)), timer_(timer), now_(std::move(now)) {}

void SensorPoller::start(std::function<void(bool)> onOpen,
                         std::function<void(const LidSample&)> onSample) {
    onOpen_ = std::move(onOpen);
    onSample_ = std::move(onSample);
    report(openFresh());
    running_ = true;
    reschedule();
}

void SensorPoller::setRate(SensorRate rate) {
    if (rate == rate_) {
        return;
    }
    rate_ = rate;
    if (running_) {
        reschedule();
    }
}

void SensorPoller::reopen() {
    reader_.close();
    report(openFresh());
}

bool SensorPoller::openFresh() {
    consecutiveFailures_ = 0;
    unavailable_ = false;
    const bool opened = reader_.open();
    if (!opened) {
        unavailable_ = true;
        nextReopenAt_ = now_() + Tuning::sensorReopenInterval;
    }
    return opened;
}

void SensorPoller::poll() {
    if (unavailable_) {
        if (now_() < nextReopenAt_) {
            return;
        }
        if (!reader_.open()) {
            reader_.close();
            nextReopenAt_ = now_() + Tuning::sensorReopenInterval;
            return;
        }
        unavailable_ = false;
        consecutiveFailures_ = 0;
        report(true);
    }
    const std::optional<double> angle = reader_.readAngle();
    if (!angle) {
        if (++consecutiveFailures_ >= Tuning::sensorMaxConsecutiveFailures) {
            markUnavailable();
        }
        return;
    }
    consecutiveFailures_ = 0;
    const double time = now_();
    if (onSample_) {
        onSample_({*angle, time});
    }
}

void SensorPoller::reschedule() {
    timer_.schedule(intervalNanoseconds(rate_), leewayNanoseconds(rate_));
}

void SensorPoller::report(bool open) {
    if (onOpen_) {
        onOpen_(open);
    }
}

void SensorPoller::markUnavailable() {
    unavailable_ = true;
    nextReopenAt_ = now_() + Tuning::sensorReopenInterval;
    reader_.close();
    report(false);
}

} // namespace orvane
