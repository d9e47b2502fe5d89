// SPDX-License-Identifier: MIT
// Doubles for the effect controller's clock, timers, machine facts and log,
// shared by the self-check, the screenshots' demo state and the tests. Time
// passes only when the owner moves it.
#pragma once

#include "core/SystemLog.h"
#include "effect/EffectPorts.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// Timers on a clock the owner moves. Advancing runs every timer due by then in
// time order, timers due together in the order they were set, with `now` at
// each timer's time while it runs.
class ManualScheduler final : public Scheduler {
public:
    double now = 0;

    Handle after(double seconds, std::function<void()> work) override {
        return add(seconds, 0, std::move(work));
    }
    Handle every(double seconds, std::function<void()> work) override {
        if (!(seconds > 0)) {
            throw std::invalid_argument("a repeating timer needs a positive interval");
        }
        return add(seconds, seconds, std::move(work));
    }
    void cancel(Handle handle) override { timers_.erase(handle); }
    std::size_t pending() const { return timers_.size(); }

    void advanceTo(double time) {
        for (;;) {
            const auto due = std::min_element(timers_.begin(), timers_.end(), [](auto& a, auto& b) {
                return a.second.at < b.second.at;
            });
            if (due == timers_.end() || due->second.at > time) {
                break;
            }
            now = due->second.at;
            // A copy: the work may cancel its own timer.
            const std::function<void()> work = due->second.work;
            if (due->second.every > 0) {
                due->second.at += due->second.every;
            } else {
                timers_.erase(due);
            }
            work();
        }
        now = time;
    }
    void advanceBy(double seconds) { advanceTo(now + seconds); }
    // Reads `now`; serves as every clock the units it drives take.
    std::function<double()> clock() {
        return [this] { return now; };
    }

private:
    struct Timer {
        double at;
        double every; // 0 for a one-shot
        std::function<void()> work;
    };
    Handle add(double seconds, double every, std::function<void()> work) {
        timers_[++last_] = {now + seconds, every, std::move(work)};
        return last_;
    }
    std::map<Handle, Timer> timers_;
    Handle last_ = 0;
};

// Facts about the machine as the owner sets them, and the system's
// screen-recording switch, counting how often it is asked.
class FakeSystem final : public SystemFacts {
public:
    ThermalState thermal = ThermalState::nominal;
    bool lowPower = false;
    std::optional<FrontmostApp> front;
    bool recordingAllowed = false;
    int recordingAsked = 0;

    std::optional<bool> onBattery() const override { return false; }
    ThermalState thermalState() const override { return thermal; }
    bool lowPowerMode() const override { return lowPower; }
    bool reduceMotion() const override { return false; }
    std::optional<FrontmostApp> frontmostApp() const override { return front; }

    // The system's permission query, as a PermissionPolicy asks it.
    std::function<bool()> preflight() {
        return [this] {
            ++recordingAsked;
            return recordingAllowed;
        };
    }
};

// The system log, one "category: message" line a note.
struct Notes final : SystemLog {
    std::vector<std::string> lines;
    void note(std::string_view category, std::string_view message) override {
        lines.push_back(std::string(category) + ": " + std::string(message));
    }
};

} // namespace orvane
