// SPDX-License-Identifier: MIT
// The sensor's own thread: it owns the poller, runs the work posted to it in
// order, and ticks the poller on its timer. The thread's timer slack is the
// timer's leeway, so the kernel may coalesce the wake-ups of a resting lid.
#pragma once

#include "sensor/SensorPoller.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace orvane {

class SensorThread final : private SensorPoller::Timer {
public:
    SensorThread(SensorPoller::Reader reader, std::function<double()> now);
    // Finishes the work in hand and joins the thread.
    ~SensorThread() override;
    SensorThread(const SensorThread&) = delete;
    SensorThread& operator=(const SensorThread&) = delete;

    // Runs `work` on the sensor's thread, after what was posted before it.
    void post(std::function<void(SensorPoller&)> work);

private:
    using Clock = std::chrono::steady_clock;

    void schedule(std::int64_t intervalNanoseconds, std::int64_t leewayNanoseconds) override;
    void run();

    SensorPoller poller_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void(SensorPoller&)>> work_;
    bool stopping_ = false;
    // Touched on the sensor's thread only.
    std::optional<Clock::duration> interval_;
    Clock::time_point nextTick_;
    std::thread thread_;
};

} // namespace orvane
