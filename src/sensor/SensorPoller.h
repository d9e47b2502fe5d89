// SPDX-License-Identifier: MIT
// Polls a lid reader at the current rate: counts failed reads, declares the
// sensor closed after too many and tries to reopen it on a fixed interval.
// Not thread-safe: its owner runs every operation on the sensor's own thread.
#pragma once

#include "sensor/LidSample.h"
#include "sensor/SensorRate.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace orvane {

class SensorPoller {
public:
    // Whatever gives lid angles: the HID device, an IIO sensor, a test script.
    struct Reader {
        std::function<bool()> open;
        std::function<void()> close;
        std::function<std::optional<double>()> readAngle;
    };

    // The repeating timer that calls `poll`; the owner provides it.
    class Timer {
    public:
        virtual ~Timer() = default;
        // Replaces any running schedule: first call one interval from now.
        virtual void schedule(std::int64_t intervalNanoseconds, std::int64_t leewayNanoseconds) = 0;
    };

    SensorPoller(Reader reader, Timer& timer, std::function<double()> now);

    // Opens the reader, reports the result and starts the timer; runs until the process ends.
    void start(std::function<void(bool)> onOpen, std::function<void(const LidSample&)> onSample);
    void setRate(SensorRate rate);
    void reopen();
    // One tick of the timer.
    void poll();

    SensorRate rate() const { return rate_; }
    bool running() const { return running_; }
    bool unavailable() const { return unavailable_; }

private:
    // Counts start again; a failed open waits for the reopen interval.
    bool openFresh();
    void reschedule();
    void report(bool open);
    void markUnavailable();

    Reader reader_;
    Timer& timer_;
    std::function<double()> now_;
    SensorRate rate_ = SensorRate::idle;
    bool running_ = false;
    std::function<void(bool)> onOpen_;
    std::function<void(const LidSample&)> onSample_;
    std::int64_t consecutiveFailures_ = 0;
    bool unavailable_ = false;
    double nextReopenAt_ = 0;
};

} // namespace orvane
