// SPDX-License-Identifier: MIT
// Doubles for the ports the effect, the sound player and the accordion use.
// Time passes only when a test moves it, and sound is pulled only when a test
// asks, so nothing here depends on the machine the tests run on.
#pragma once

#include "core/SystemLog.h"
#include "doubles/EffectDoubles.h"
#include "sound/AudioOutput.h"
#include "system/SystemFacts.h"

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

using orvane::FakeSystem;
using orvane::ManualScheduler;
using orvane::Notes;

// Every system event, noted by name in the order heard.
struct HeardEvents final : SystemEventsListener {
    std::vector<std::string> events;
    int count(std::string_view name) const {
        return static_cast<int>(std::count(events.begin(), events.end(), name));
    }
    void willSleep() override { events.push_back("sleep"); }
    void didWake() override { events.push_back("wake"); }
    void screenLocked(bool) override { events.push_back("lock"); }
    void sessionActive(bool) override { events.push_back("session"); }
    void screensSlept(bool) override { events.push_back("screens asleep"); }
    void screenParametersChanged() override { events.push_back("screens"); }
    void powerStateChanged() override { events.push_back("power"); }
    void thermalStateChanged() override { events.push_back("thermal"); }
    void reduceMotionChanged() override { events.push_back("motion"); }
    void frontmostAppChanged() override { events.push_back("front"); }
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

} // namespace orvane::test
