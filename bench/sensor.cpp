// SPDX-License-Identifier: MIT
// The sensor thread's cost and regularity: its own CPU time per second of
// wall time at each poll rate with a reader that answers at once, and how far sample
// intervals stray from the period (median and 99th percentile). Prints figures only.
#include "platform/MonotonicClock.h"
#include "sensor/linux/SensorThread.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace orvane;

namespace {

// CPU time of the calling thread: read on the sensor's thread, it counts its work alone.
double threadCPUSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

// The floor any poller pays on this machine: a thread that only wakes at the
// same period and does nothing.
double bareWakeCPUPercent(SensorRate rate, double seconds) {
    double cpu = 0;
    std::thread sleeper([&] {
        const double before = threadCPUSeconds();
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        const std::int64_t period = intervalNanoseconds(rate);
        const auto wakes = static_cast<std::int64_t>(seconds * 1e9) / period;
        for (std::int64_t i = 0; i < wakes; ++i) {
            next.tv_nsec += period;
            while (next.tv_nsec >= 1'000'000'000) {
                next.tv_nsec -= 1'000'000'000;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
        cpu = threadCPUSeconds() - before;
    });
    sleeper.join();
    return 100 * cpu / seconds;
}

void measure(SensorRate rate, double seconds) {
    std::mutex mutex;
    std::vector<double> times;
    double cpu = 0;
    double wall = 0;
    {
        SensorThread thread({[] { return true; }, [] {}, [] { return std::optional(75.0); }},
                            monotonicSeconds);
        std::promise<double> started;
        thread.post([&](SensorPoller& poller) {
            started.set_value(threadCPUSeconds());
            poller.setRate(rate);
            poller.start([](bool) {},
                         [&](const LidSample& sample) {
                             const std::lock_guard lock(mutex);
                             times.push_back(sample.time);
                         });
        });
        const double cpuBefore = started.get_future().get();
        const double wallBefore = monotonicSeconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        std::promise<double> ended;
        thread.post([&](SensorPoller&) { ended.set_value(threadCPUSeconds()); });
        cpu = ended.get_future().get() - cpuBefore;
        wall = monotonicSeconds() - wallBefore;
    }
    const double period = static_cast<double>(intervalNanoseconds(rate)) * 1e-9;
    std::vector<double> strays;
    for (std::size_t i = 1; i < times.size(); ++i) {
        strays.push_back(std::abs(times[i] - times[i - 1] - period) * 1e3);
    }
    const double bare = bareWakeCPUPercent(rate, seconds);
    std::printf("%-8s %4zu samples in %.1f s: CPU %.4f %% of a core (a bare wake-up at this "
                "rate: %.4f %%, ratio %.2f); |interval - %.2f ms| median %.3f ms, p99 %.3f ms\n",
                std::string(rawValue(rate)).c_str(), times.size(), wall, 100 * cpu / wall, bare,
                100 * cpu / wall / bare, period * 1e3, percentile(strays, 0.5),
                percentile(strays, 0.99));
}

} // namespace

int main() {
    measure(SensorRate::idle, 10);
    measure(SensorRate::fastIdle, 5);
    measure(SensorRate::active, 5);
    return 0;
}
