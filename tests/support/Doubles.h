// SPDX-License-Identifier: MIT
// Doubles for the ports the effect, the sound player and the accordion use.
// Time passes only when a test moves it, and sound is pulled only when a test
// asks, so nothing here depends on the machine the tests run on.
#pragma once

#include "core/AudioOutput.h"
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

namespace orvane::test {

// Timers on a clock the test moves. Advancing runs every timer due by then in
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
    // Reads `now`; serves as every clock the units under test take.
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

// A sound device whose thread is the test: each pull is one callback.
class FakeOutput final : public AudioOutput {
public:
    // What the device opens with; none when there is no device.
    std::optional<Format> format = Format{48000, 2, 512};
    int opens = 0;
    int closes = 0;
    int requestedRate = 0;
    int requestedChannels = 0;
    bool running = false;
    // Pulled buffers start out holding this, which no render may leave behind.
    static constexpr float unwritten = -7.0f;

    std::optional<Format> open(Render render, void* context, int preferredRate, int channels,
                               std::string* error) override {
        ++opens;
        requestedRate = preferredRate;
        requestedChannels = channels;
        if (!format) {
            if (error != nullptr) {
                *error = "no device";
            }
            return std::nullopt;
        }
        render_ = render;
        context_ = context;
        channels_ = std::max(format->channels, 1);
        return format;
    }
    void setRunning(bool on) override { running = on; }
    void close() override {
        ++closes;
        running = false;
        render_ = nullptr;
    }
    bool isOpen() const override { return render_ != nullptr; }

    // One callback into the caller's buffer; false while the device is not pulling.
    bool pullInto(float* interleaved, int frames) {
        if (render_ == nullptr || !running) {
            return false;
        }
        render_(context_, interleaved, frames);
        return true;
    }
    // One callback of `frames` interleaved frames; none while the device is not pulling.
    std::vector<float> pull(int frames) {
        std::vector<float> out(static_cast<std::size_t>(frames * channels_), unwritten);
        return pullInto(out.data(), frames) ? out : std::vector<float>{};
    }
    std::vector<float> pullChannel(int frames, int channel) {
        const std::vector<float> all = pull(frames);
        std::vector<float> one;
        for (auto i = static_cast<std::size_t>(channel); i < all.size();
             i += static_cast<std::size_t>(channels_)) {
            one.push_back(all[i]);
        }
        return one;
    }

private:
    Render render_ = nullptr;
    void* context_ = nullptr;
    int channels_ = 1;
};

// Facts about the machine as the test sets them, and the system's
// screen-recording switch, counting how often it is asked.
class FakeSystem final : public SystemFacts {
public:
    bool display = true;
    ThermalState thermal = ThermalState::nominal;
    bool lowPower = false;
    std::optional<FrontmostApp> front;
    bool recordingAllowed = false;
    int recordingAsked = 0;

    bool hasBuiltInDisplay() const override { return display; }
    std::optional<std::int64_t> builtInMaxFPS() const override { return 120; }
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

} // namespace orvane::test
