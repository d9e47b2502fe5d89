// SPDX-License-Identifier: MIT
// The accordion engine between the lid and a sound output double whose thread
// is the test.
#include "accordion/AccordionEngine.h"
#include "selfcheck/SignalMeasures.h"
#include "support/Doubles.h"

#include <doctest/doctest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

struct EngineRig {
    explicit EngineRig(bool starts = true)
        : engine({output, scheduler, scheduler.clock(), starts}) {
        scheduler.now = 100;
    }
    // Lid samples 60 a second, the lid moving at `speed`; time passes with them.
    void lid(double speed, double seconds) {
        for (int i = 0; i < static_cast<int>(std::round(seconds * 60)); ++i) {
            scheduler.advanceBy(1.0 / 60);
            angle += speed / 60;
            engine.update(angle, speed, scheduler.now);
        }
    }
    void moveLid(double seconds = 0.2) { lid(-80, seconds); }
    void holdLid(double seconds) { lid(0, seconds); }

    FakeOutput output;
    ManualScheduler scheduler;
    double angle = 110;
    AccordionEngine engine;
};

} // namespace

TEST_CASE("the engine opens the output only for audible motion") {
    EngineRig rig;
    SUBCASE("nothing happens while the accordion is off") {
        rig.moveLid();
        CHECK_FALSE(rig.engine.running());
        CHECK(rig.output.opens == 0);
        CHECK(rig.engine.params().targetPressure == 0.0f);
    }
    rig.engine.setEnabled(true, 0.6);
    SUBCASE("a lid at rest does not open it") {
        rig.holdLid(1.0);
        CHECK(rig.output.opens == 0);
    }
    SUBCASE("motion opens it once, at 48 kHz stereo, and it sounds") {
        rig.moveLid();
        CHECK(rig.engine.running());
        CHECK(rig.output.opens == 1);
        CHECK(rig.output.requestedRate == 48000);
        CHECK(rig.output.requestedChannels == 2);
        CHECK(rig.output.running);
        double energy = 0;
        for (int i = 0; i < 40; ++i) {
            for (const float v : rig.output.pull(480)) {
                energy += static_cast<double>(v) * v;
            }
        }
        CHECK(energy > 1.0);
        rig.moveLid();
        CHECK(rig.output.opens == 1);
    }
    SUBCASE("switching off stops at once and starts the model over") {
        rig.moveLid();
        rig.engine.setEnabled(false, 0.6);
        CHECK_FALSE(rig.engine.running());
        CHECK(rig.output.closes == 1);
        CHECK_FALSE(rig.output.running);
        CHECK(rig.engine.params().targetPressure == 0.0f);
        CHECK(rig.engine.params().enabled == 0);
        CHECK(rig.engine.model() == AccordionModel());
        CHECK(rig.scheduler.pending() == 0);
    }
}

TEST_CASE("the engine closes the output after two quiet seconds") {
    EngineRig rig;
    rig.engine.setEnabled(true, 0.6);
    rig.moveLid();
    REQUIRE(rig.engine.running());

    SUBCASE("not while the lid keeps moving") {
        rig.moveLid(5);
        CHECK(rig.engine.running());
    }
    SUBCASE("not before two seconds, and soon after") {
        rig.holdLid(1.9);
        CHECK(rig.engine.running());
        rig.holdLid(0.6);
        CHECK_FALSE(rig.engine.running());
        CHECK(rig.output.closes == 1);
        CHECK(rig.scheduler.pending() == 0);
    }
    SUBCASE("the next motion opens a fresh output") {
        rig.holdLid(3);
        REQUIRE_FALSE(rig.engine.running());
        rig.moveLid();
        CHECK(rig.engine.running());
        CHECK(rig.output.opens == 2);
        CHECK(rig.scheduler.pending() == 1);
    }
}

TEST_CASE("a failing output is retried at most once a second") {
    EngineRig rig;
    rig.engine.setEnabled(true, 0.6);
    SUBCASE("when it cannot be opened") {
        rig.output.format.reset();
    }
    SUBCASE("when its rate is unusable") {
        rig.output.format = AudioOutput::Format{0, 2, 512};
    }
    SUBCASE("when its rate is negative") {
        rig.output.format = AudioOutput::Format{-44100, 2, 512};
    }
    SUBCASE("when it has no channels") {
        rig.output.format = AudioOutput::Format{48000, 0, 512};
    }
    const bool opened = rig.output.format.has_value();
    rig.moveLid(0.5);
    CHECK_FALSE(rig.engine.running());
    CHECK(rig.output.opens == 1);
    CHECK(rig.output.closes == (opened ? 1 : 0));
    CHECK(rig.scheduler.pending() == 0);
    rig.output.format = AudioOutput::Format{48000, 2, 512};
    rig.moveLid(0.6);
    CHECK(rig.engine.running());
    CHECK(rig.output.opens == 2);
    CHECK(rig.engine.startThrottle().allow(rig.scheduler.now));
}

TEST_CASE("a NaN time neither blocks nor unblocks the start throttle") {
    AudioStartThrottle throttle;
    throttle.failed(notANumber);
    CHECK(throttle.allow(0));
    CHECK(throttle.allow(notANumber));
    throttle.failed(5);
    CHECK_FALSE(throttle.allow(notANumber));
}

TEST_CASE("the engine's volume is clamped, and one that is not a number changes nothing") {
    EngineRig rig;
    rig.engine.setEnabled(true, 0.4);
    CHECK(rig.engine.params().volume == 0.4f);
    rig.engine.setEnabled(true, 7);
    CHECK(rig.engine.params().volume == 1.0f);
    rig.engine.setEnabled(true, -inf);
    CHECK(rig.engine.params().volume == 0.0f);
    rig.engine.setEnabled(true, 0.3);
    rig.engine.setEnabled(true, notANumber);
    CHECK(rig.engine.params().volume == 0.3f);
}

TEST_CASE("the render source fills the device's whole buffer") {
    AccordionParams params;
    params.enabled = 1;
    params.volume = 1.0f;
    params.zone = 0;
    params.direction = -1;
    params.targetPressure = 1.0f;
    SUBCASE("stereo gets left and right") {
        auto source = AccordionEngine::makeSource({48000, 2, 512}, params);
        std::vector<float> buffer(2 * 9000, FakeOutput::unwritten);
        AccordionEngine::RenderSource::render(source.get(), buffer.data(), 9000);
        CHECK(allFiniteWithin(buffer, 0.5));
        bool differ = false;
        for (std::size_t i = 4000; i < 9000; ++i) {
            differ = differ || buffer[2 * i] != buffer[2 * i + 1];
        }
        CHECK(differ);
    }
    SUBCASE("extra channels are silent and mono gets both") {
        auto wide = AccordionEngine::makeSource({48000, 4, 512}, params);
        std::vector<float> buffer(4 * 6000, FakeOutput::unwritten);
        AccordionEngine::RenderSource::render(wide.get(), buffer.data(), 6000);
        double front = 0, rear = 0;
        for (std::size_t i = 0; i < 6000; ++i) {
            front += std::abs(buffer[4 * i]);
            rear += std::abs(buffer[4 * i + 2]) + std::abs(buffer[4 * i + 3]);
        }
        CHECK(front > 1.0);
        CHECK(rear == 0.0);
        auto mono = AccordionEngine::makeSource({48000, 1, 512}, params);
        std::vector<float> one(6000, FakeOutput::unwritten);
        AccordionEngine::RenderSource::render(mono.get(), one.data(), 6000);
        CHECK(allFiniteWithin(one, 0.5));
        CHECK(rms(one, 3000, 6000) > 0.01);
    }
    SUBCASE("a source without a generator writes silence") {
        AccordionEngine::RenderSource source(params);
        std::vector<float> buffer(64, FakeOutput::unwritten);
        AccordionEngine::RenderSource::render(&source, buffer.data(), 64);
        CHECK(buffer == std::vector<float>(64, 0.0f));
    }
}
