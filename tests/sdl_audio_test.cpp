// SPDX-License-Identifier: MIT
// The SDL2 sound output on SDL's dummy driver, which runs a callback device
// with no sound card, and with a driver that does not exist.
#include "sound/linux/SdlAudioOutput.h"
#include "support/ScopedEnv.h"

#include <doctest/doctest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

using namespace orvane;
using orvane::test::ScopedEnv;

namespace {

struct Counter {
    std::atomic<int> calls{0};
    std::atomic<int> lastFrames{0};
    std::atomic<bool> badPointer{false};
};

void countingRender(void* context, float* interleaved, int frames) {
    auto* counter = static_cast<Counter*>(context);
    if (!interleaved || frames <= 0) {
        counter->badPointer = true;
        return;
    }
    // Writes the whole block, so a block shorter than `frames` shows under ASan.
    for (int i = 0; i < frames * 2; ++i) {
        interleaved[i] = 0.0f;
    }
    counter->lastFrames = frames;
    ++counter->calls;
}

bool waitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace

TEST_CASE("on the dummy driver the device opens as asked and calls back only while running") {
    const ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    Counter counter;
    SdlAudioOutput output;
    CHECK_FALSE(output.isOpen());

    std::string error;
    const auto format = output.open(&countingRender, &counter, 48000, 2, &error);
    REQUIRE_MESSAGE(format, error);
    CHECK(output.isOpen());
    CHECK(format->sampleRate == 48000);
    CHECK(format->channels == 2);
    CHECK(format->bufferFrames > 0);

    SUBCASE("opened paused: no calls until started") {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        CHECK(counter.calls == 0);
    }
    SUBCASE("running, it fills whole device blocks; pausing, then closing, stops the calls") {
        const auto callsStop = [&counter] {
            const int before = counter.calls;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return counter.calls == before;
        };
        output.setRunning(true);
        REQUIRE(waitFor([&] { return counter.calls >= 3; }));
        CHECK_FALSE(counter.badPointer);
        CHECK(counter.lastFrames == format->bufferFrames);
        output.setRunning(false);
        CHECK(callsStop());
        CHECK(output.isOpen());
        const int paused = counter.calls;
        output.setRunning(true);
        REQUIRE(waitFor([&] { return counter.calls > paused; }));
        output.close();
        CHECK_FALSE(output.isOpen());
        CHECK(callsStop());
    }
    SUBCASE("a second open replaces the first device") {
        Counter second;
        REQUIRE(output.open(&countingRender, &second, 48000, 2, &error));
        output.setRunning(true);
        REQUIRE(waitFor([&] { return second.calls >= 1; }));
        CHECK(counter.calls == 0);
    }
}

TEST_CASE("with a driver that does not exist the open fails with SDL's reason") {
    Counter counter;
    {
        const ScopedEnv driver("SDL_AUDIODRIVER", "nonexistent");
        SdlAudioOutput output;
        std::string error;
        CHECK_FALSE(output.open(&countingRender, &counter, 48000, 2, &error));
        CHECK_FALSE(output.isOpen());
        CHECK_FALSE(error.empty());
        CAPTURE(error);
        CHECK(error.find("nonexistent") != std::string::npos);
        // Without an error string the failure is still clean.
        CHECK_FALSE(output.open(&countingRender, &counter, 48000, 2, nullptr));
        output.setRunning(true);
        output.close();
    }
    // The failure left nothing behind: a usable driver opens next time.
    const ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    SdlAudioOutput output;
    std::string error;
    REQUIRE_MESSAGE(output.open(&countingRender, &counter, 48000, 2, &error), error);
    output.setRunning(true);
    CHECK(waitFor([&] { return counter.calls >= 1; }));
}

TEST_CASE("a request no device can meet fails without opening") {
    const ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    Counter counter;
    SdlAudioOutput output;
    std::string error;
    CHECK_FALSE(output.open(nullptr, &counter, 48000, 2, &error));
    CHECK_FALSE(output.open(&countingRender, &counter, 0, 2, &error));
    CHECK_FALSE(output.open(&countingRender, &counter, 48000, 0, &error));
    CHECK_FALSE(error.empty());
    CHECK_FALSE(output.isOpen());
}
