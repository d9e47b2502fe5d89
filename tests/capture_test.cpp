// SPDX-License-Identifier: MIT
// The capture service over the fake capture: starts overtaken by stops,
// one stream at a time, the retry window, retired streams, preparations.
#include "capture/BuiltInDisplay.h"
#include "capture/CaptureService.h"
#include "capture/RecentFrames.h"
#include "core/Tuning.h"
#include "core/Xorshift.h"
#include "doubles/FakeCapture.h"
#include "support/Doubles.h"

#include <doctest/doctest.h>

using namespace orvane;
using orvane::test::ManualScheduler;
using orvane::test::Notes;

namespace {

struct Rig {
    ManualScheduler scheduler;
    Notes notes;
    FakeCaptureFactory factory{scheduler};
    CaptureService service{{factory, scheduler, scheduler.clock(), notes}};

    void settle() { scheduler.advanceBy(0); }
    void wait(double seconds) { scheduler.advanceBy(seconds); }
    // Started and given a first frame.
    void capture() {
        service.requestStart(60);
        wait(1);
        factory.deliverFrame();
    }
};

} // namespace

TEST_CASE("a start runs one stream, and its frames make the service ready") {
    Rig rig;
    rig.factory.startDelay = 0.05;
    rig.service.prepare();
    rig.service.requestStart(60);
    rig.service.requestStart(60); // the second finds the first under way
    CHECK(rig.service.isDesired());
    rig.wait(0.01);
    CHECK(rig.service.isStarting());
    rig.wait(0.1);
    CHECK(rig.service.isCapturing());
    CHECK_FALSE(rig.service.isStarting());
    CHECK(rig.factory.counts.constructed == 1);
    CHECK(rig.factory.counts.preparations == 1); // prepared ahead, not again
    CHECK_FALSE(rig.service.hasFrameForCurrentStream());
    rig.factory.deliverFrame();
    CHECK(rig.service.hasFrameForCurrentStream());
    CHECK(rig.service.latestFrame()->counter == 1);
}

TEST_CASE("a failed start opens the retry window; a superseded one does not") {
    Rig rig;
    rig.factory.startError = CaptureError{CaptureError::Kind::streamFailed, "device busy"};
    rig.service.requestStart(60);
    rig.wait(0.1);
    CHECK(rig.service.isFailing());
    CHECK(rig.notes.lines ==
          std::vector<std::string>{"capture: capture start failed: Capture stream failed: "
                                   "device busy"});
    rig.factory.startError.reset();
    rig.service.requestStart(60);
    rig.wait(0.1);
    CHECK_FALSE(rig.service.isCapturing()); // refused: waiting for the retry window
    CHECK(rig.notes.lines.size() == 1);     // logged once per run of failures
    rig.wait(Tuning::captureRetryInterval);
    CHECK_FALSE(rig.service.isFailing());
    rig.service.requestStart(60);
    rig.wait(0.1);
    CHECK(rig.service.isCapturing());
}

TEST_CASE("no permission or no built-in screen fail the start with their reason") {
    Rig rig;
    rig.factory.permission = false;
    rig.service.requestStart(60);
    rig.wait(0.1);
    CHECK(rig.notes.lines.back() == "capture: capture start failed: Screen Recording permission "
                                    "is not granted.");
    CHECK_FALSE(rig.service.hasPermission());
    Rig blind;
    blind.factory.screen.reset();
    blind.service.requestStart(60);
    blind.wait(0.1);
    CHECK(blind.notes.lines.back() == "capture: capture start failed: No built-in display was "
                                      "found.");
}

TEST_CASE("of two overlapping preparations the later one's result survives") {
    Rig rig;
    rig.factory.prepareDelay = 0.05;
    rig.service.prepare();
    rig.wait(0.01);
    rig.factory.screen = CapturePreparation{"HDMI-1", 0, 0, 800, 600};
    rig.factory.prepareDelay = 0.01;
    rig.service.prepare();
    rig.wait(0.1);
    rig.factory.screen.reset(); // a start now uses what was prepared
    rig.service.requestStart(60);
    rig.wait(0.1);
    CHECK(rig.service.isCapturing());

    SUBCASE("an invalidation drops what was prepared") {
        rig.service.stop();
        rig.service.invalidatePrepared();
        rig.wait(1);
        rig.wait(Tuning::captureRetryInterval);
        rig.service.requestStart(60);
        rig.wait(0.1);
        CHECK_FALSE(rig.service.isCapturing());
    }
}

TEST_CASE("random starts, stops, delays, errors and failures never run two streams") {
    Xorshift32 random(0xC0FFEE);
    for (int run = 0; run < 200; ++run) {
        Rig rig;
        CAPTURE(run);
        for (int step = 0; step < 60; ++step) {
            rig.factory.startDelay = 0.03 * random.uniform();
            rig.factory.stopDelay = 0.03 * random.uniform();
            rig.factory.prepareDelay = 0.01 * random.uniform();
            switch (random.next() % 8) {
            case 0:
            case 1:
                rig.service.requestStart(60);
                break;
            case 2:
            case 3:
                rig.service.stop();
                break;
            case 4:
                rig.factory.startError =
                    random.next() % 2 ? std::optional(CaptureError{}) : std::nullopt;
                break;
            case 5:
                if (!rig.factory.sinks.empty()) {
                    rig.factory.sinks[random.next() % rig.factory.sinks.size()]->fail("x");
                }
                break;
            case 6:
                rig.factory.deliverFrame();
                break;
            default:
                rig.service.invalidatePrepared();
                rig.service.prepare();
            }
            rig.wait(0.02 * random.uniform());
            REQUIRE(rig.factory.counts.active <= 1);
            // A frame counts only when it is the live stream's.
            if (rig.service.hasFrameForCurrentStream()) {
                CHECK(rig.service.latestFrame()->streamGeneration ==
                      rig.factory.sinks.back()->streamGeneration());
            }
        }
        rig.service.stop();
        rig.wait(1);
        CHECK(rig.factory.counts.running == 0);
        CHECK(rig.factory.counts.active == 0);
        CHECK_FALSE(rig.service.isStarting());
    }
}

TEST_CASE("the built-in screen is the chosen one, else a panel by connector, else by name") {
    using BuiltInDisplay::Screen;
    const Screen hdmi{"HDMI-1", "HDMI", 0, 0, 1920, 1080, 60};
    const Screen panel{"DP-3", "Panel", 1920, 0, 2880, 1800, 120};
    const Screen edp{"eDP-1", "", 0, 0, 1512, 982, 59.94};
    const Screen lvds{"lvds", "", 0, 0, 1280, 800, 0};
    CHECK(BuiltInDisplay::find({hdmi, edp, panel}, "") == panel);
    CHECK(BuiltInDisplay::find({hdmi, edp}, "") == edp);
    CHECK(BuiltInDisplay::find({hdmi, lvds}, "") == lvds);
    CHECK(BuiltInDisplay::find({hdmi, {"DSI-1", "", 0, 0, 1, 1, 60}}, "")->name == "DSI-1");
    CHECK_FALSE(BuiltInDisplay::find({hdmi}, ""));
    CHECK(BuiltInDisplay::find({hdmi, edp, panel}, "HDMI-1") == hdmi);
    // A chosen screen that is not connected is not replaced by a guess.
    CHECK_FALSE(BuiltInDisplay::find({edp, panel}, "HDMI-1"));
    CHECK(BuiltInDisplay::maxFPS(edp) == 60);
    CHECK(BuiltInDisplay::maxFPS({"x", "", 0, 0, 1, 1, 0.4}) == 1);
    CHECK_FALSE(BuiltInDisplay::maxFPS(lvds));
}

TEST_CASE("the recent frames keep the last few distinct ones, oldest first") {
    RecentFrames recent;
    const auto frame = [](std::uint64_t stream, std::uint64_t counter) {
        return FrameBox{nullptr, counter, stream};
    };
    for (const auto& [stream, counter] :
         {std::pair{1, 1}, {1, 1}, {1, 2}, {2, 2}, {2, 2}, {2, 3}, {2, 4}, {2, 4}}) {
        recent.note(frame(stream, counter));
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> kept;
    for (const FrameBox& box : recent.frames()) {
        kept.emplace_back(box.streamGeneration, box.counter);
    }
    static_assert(Tuning::recentFrameCount == 2);
    CHECK(kept == decltype(kept){{2, 3}, {2, 4}});
    // A frame seen before but not last is a new hand-out (a stream restarted).
    recent.note(frame(1, 2));
    CHECK(recent.frames().back().streamGeneration == 1);
    CHECK(recent.frames().size() == 2);
}
