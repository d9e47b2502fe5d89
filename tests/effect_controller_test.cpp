// SPDX-License-Identifier: MIT
// The effect controller's whole decision path, driven with doubles for every
// component and a scripted clock.
#include "core/Xorshift.h"
#include "doubles/FakeFoldDisplay.h"
#include "effect/EffectController.h"
#include "settings/MemorySettingsStore.h"
#include "support/Doubles.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

// Everything the doubles do, in order, so tests can check what came first.
struct Log {
    std::vector<std::string> events;
    void add(std::string e) { events.push_back(std::move(e)); }
    std::ptrdiff_t first(const std::string& e) const {
        const auto it = std::find(events.begin(), events.end(), e);
        return it == events.end() ? -1 : it - events.begin();
    }
    std::ptrdiff_t last(const std::string& e) const {
        const auto it = std::find(events.rbegin(), events.rend(), e);
        return it == events.rend()
                   ? -1
                   : static_cast<std::ptrdiff_t>(events.size()) - 1 - (it - events.rbegin());
    }
};

// A capture service whose stream delivers its first frame a few steps after it starts.
class FakeCapture final : public CaptureControl {
public:
    explicit FakeCapture(Log& log) : log_(log) {}
    bool starting = false;
    bool capturing = false;
    bool desired = false;
    int stepsUntilFrame = -1;

    bool hasFrameForCurrentStream() const override { return capturing; }
    bool hasPermission() const override { return true; }
    bool permissionForGateStep(bool) override {
        // A started stream delivers after a few steps.
        if (starting && --stepsUntilFrame <= 0) {
            starting = false;
            capturing = true;
        }
        return true;
    }
    bool refreshPermission() override { return true; }
    bool isCapturing() const override { return capturing; }
    bool isStarting() const override { return starting; }
    bool isDesired() const override { return desired; }
    bool isFailing() const override { return false; }
    void requestStart(std::int64_t) override {
        log_.add("capture start");
        starting = desired = true;
        stepsUntilFrame = 3;
    }
    void stop() override {
        log_.add("capture stop");
        starting = capturing = desired = false;
    }
    void prepare() override {}
    void invalidatePrepared() override {}
    bool active() const { return starting || capturing || desired; }

private:
    Log& log_;
};

class FakeSensor final : public LidSensorControl {
public:
    std::vector<SensorRate> rates;
    void start() override {}
    void setRate(SensorRate rate) override {
        if (rates.empty() || rates.back() != rate) {
            rates.push_back(rate);
        }
    }
    void reopen() override {}
};

struct Quiet final : CoverControl, AccordionControl, EscapeKeyControl, FeedbackControl {
    int clicks = 0;
    bool escape = false;
    std::vector<CoverMode> covers;
    void coverAppeared(CoverMode mode, bool) override { covers.push_back(mode); }
    void coverEnded() override {}
    void setEnabled(bool, double) override {}
    void update(double, double, double) override {}
    void registerKey() override { escape = true; }
    void unregisterKey() override { escape = false; }
    void playClick(double) override { ++clicks; }
    void haptic() override {}
};

struct Rig {
    Log log;
    Notes notes;
    MemorySettingsStore store;
    FakeCapture capture{log};
    FakeSensor sensor;
    Quiet quiet;
    ManualScheduler scheduler;
    FakeSystem system;
    FakeFoldDisplay display{capture};
    std::string& panelState = display.state;
    std::vector<Availability> published;
    std::unique_ptr<EffectController> controller;

    explicit Rig(bool onboarded = true) {
        FoldSettings initial;
        initial.setHasCompletedOnboarding(onboarded);
        initial.save(store);
        display.onState = [this](const std::string& state) { log.add("panel " + state); };
        controller = std::make_unique<EffectController>(
            EffectController::Ports{store, display, sensor, quiet, quiet, quiet, quiet, scheduler,
                                    system, notes, Clock{scheduler.clock(), scheduler.clock()}});
        controller->onAvailabilityChange = [this](const Availability& a) {
            published.push_back(a);
        };
        controller->start();
        controller->sensorAvailabilityChanged(true);
    }

    EffectController& c() { return *controller; }

    // Lid samples at the active poll rate along a path, frames ticking at 60 Hz.
    void lid(double from, double to, double seconds, bool ticking = true) {
        const double start = scheduler.now;
        const int steps = std::max(1, static_cast<int>(seconds * Tuning::sensorHzActive));
        for (int i = 1; i <= steps; ++i) {
            const double t = start + i / Tuning::sensorHzActive;
            scheduler.advanceTo(t);
            c().lidSample(from + (to - from) * i / steps, t);
            if (ticking && i % 2 == 0) {
                c().tick(t);
            }
        }
    }
    void hold(double angle, double seconds, bool ticking = true) {
        lid(angle, angle, seconds, ticking);
    }
};

} // namespace

TEST_CASE("a lid close from the first sample to the clear click") {
    Rig rig;
    rig.hold(115, 0.5);
    CHECK(rig.log.first("capture start") < 0);
    rig.lid(115, 60, 55.0 / 60);
    rig.hold(60, 2);
    rig.lid(60, 120, 1);
    rig.hold(120, 2);

    // Capture runs before the overlay goes live and stops after it clears.
    const auto started = rig.log.first("capture start");
    const auto live = rig.log.first("panel live");
    REQUIRE(started >= 0);
    REQUIRE(live >= 0);
    CHECK(started < live);
    CHECK(rig.log.last("capture stop") > rig.log.first("panel hidden"));
    CHECK_FALSE(rig.capture.active());
    CHECK(rig.panelState == "hidden");
    CHECK(rig.quiet.clicks == 1);
    CHECK_FALSE(rig.quiet.escape);
    CHECK(rig.c().gateState() == GateState::idle);
    // The poll rate rose for the fold and fell back afterwards.
    REQUIRE(rig.sensor.rates.size() >= 3);
    CHECK(rig.sensor.rates.front() == SensorRate::idle);
    CHECK(std::find(rig.sensor.rates.begin(), rig.sensor.rates.end(), SensorRate::active) !=
          rig.sensor.rates.end());
    CHECK(rig.sensor.rates.back() == SensorRate::idle);
    // Announced at start (no sensor yet) and when the sensor opened; never
    // again for the same value, however many steps ran.
    CHECK(rig.published ==
          std::vector<Availability>{Availability::noSensor(false), Availability::ready()});
}

TEST_CASE("before onboarding no fold starts, but a manual preview still shows") {
    Rig rig(false);
    rig.lid(115, 40, 1.5);
    CHECK(rig.log.first("capture start") < 0);
    CHECK(rig.panelState == "hidden");
    rig.c().setPreview(70);
    rig.scheduler.advanceBy(0.5);
    CHECK(rig.panelState == "live");
    CHECK(rig.capture.active());
}

TEST_CASE("sleep, lock or a blocked app mid-fold tears the overlay down at once") {
    const std::vector<std::pair<const char*, std::function<void(Rig&)>>> interruptions{
        {"sleep", [](Rig& r) { r.c().willSleep(); }},
        {"lock", [](Rig& r) { r.c().screenLocked(true); }},
        {"screens", [](Rig& r) { r.c().screensSlept(true); }},
        {"session", [](Rig& r) { r.c().sessionActive(false); }},
        {"heat",
         [](Rig& r) {
             r.system.thermal = ThermalState::critical;
             r.c().thermalStateChanged();
         }},
        {"low power",
         [](Rig& r) {
             r.system.lowPower = true;
             r.c().powerStateChanged();
         }},
        {"blocked app",
         [](Rig& r) {
             r.system.front = SystemFacts::FrontmostApp{"us.zoom.Zoom", std::string("Zoom")};
             r.c().frontmostAppChanged();
         }},
        {"screen gone",
         [](Rig& r) {
             r.display.fault = DisplayProblem::noScreen;
             r.c().screenParametersChanged();
         }},
    };
    for (const auto& [label, interrupt] : interruptions) {
        const std::string name = label; // a structured binding cannot be captured here
        CAPTURE(name);
        Rig rig;
        rig.hold(115, 0.3);
        rig.lid(115, 70, 0.75);
        REQUIRE(rig.panelState == "live");
        REQUIRE(rig.capture.active());
        interrupt(rig);
        CHECK(rig.panelState == "hidden");
        CHECK_FALSE(rig.capture.active());
        CHECK_FALSE(rig.quiet.escape);
        CHECK_FALSE(rig.c().motion().showing());
        // Whatever the lid does now, nothing captures and nothing shows.
        rig.lid(70, 40, 0.5);
        rig.lid(40, 110, 0.5);
        CHECK_FALSE(rig.capture.active());
        CHECK(rig.panelState == "hidden");
        CHECK(rig.quiet.clicks == 0);
    }
    Rig blocked;
    blocked.system.front = SystemFacts::FrontmostApp{"US.ZOOM.ZOOM", std::nullopt};
    blocked.c().frontmostAppChanged();
    CHECK(blocked.published.back() == Availability::blockedApp("US.ZOOM.ZOOM"));
}

TEST_CASE("the display is prepared at the start, after a wake and when the screens change, and "
          "draws the controller's frames") {
    Rig rig;
    CHECK(rig.display.prepares == 1);
    CHECK(rig.display.client == &rig.c());
    rig.c().didWake();
    CHECK(rig.display.prepares == 2);
    rig.c().screenParametersChanged();
    CHECK(rig.display.prepares == 3);
    CHECK(rig.c().availability() == Availability::ready());
    rig.display.fault = DisplayProblem::unsupportedSession;
    rig.c().reevaluateAndPublish();
    CHECK(rig.published.back() == Availability::unsupportedSession());

    Rig folding;
    folding.hold(115, 0.3);
    folding.lid(115, 70, 0.75);
    REQUIRE(folding.panelState == "live");
    const auto frame = folding.display.client->frameAt(folding.scheduler.now + 0.01);
    REQUIRE(frame);
    CHECK(frame->targetTime == folding.scheduler.now + 0.01);
    CHECK(frame->look == folding.c().settings().look(false));
}

TEST_CASE("Low Power Mode holds the fold back only while the switch says so") {
    Rig rig;
    rig.c().editSettings([](FoldSettings& s) { s.setPauseInLowPower(false); });
    rig.system.lowPower = true;
    rig.c().powerStateChanged();
    CHECK(rig.c().availability() == Availability::ready());
    rig.hold(115, 0.3);
    rig.lid(115, 70, 0.75);
    CHECK(rig.panelState == "live");

    rig.c().editSettings([](FoldSettings& s) { s.setPauseInLowPower(true); });
    CHECK(rig.panelState == "hidden");
    CHECK_FALSE(rig.capture.active());
    CHECK(rig.published.back() == Availability::lowPower());
}

TEST_CASE("a failed save is noted once per run of failures and the edit stays") {
    Rig rig;
    rig.store.commitStatus = StoreStatus::writeFailed;
    rig.c().editSettings([](FoldSettings& s) { s.setBlur(0.9); });
    rig.c().editSettings([](FoldSettings& s) { s.setShadow(0.1); });
    CHECK(rig.c().settings().blur == 0.9);
    CHECK(rig.c().settings().shadow == 0.1);
    REQUIRE(rig.notes.lines.size() == 1);
    CHECK(rig.notes.lines[0] == "settings: Saving the settings failed: " +
                                    std::string(describe(StoreStatus::writeFailed)) + ".");

    // The next save tries again and lands everything edited meanwhile.
    rig.store.commitStatus = StoreStatus::ok;
    rig.c().editSettings([](FoldSettings& s) { s.setPerspective(0.2); });
    const FoldSettings stored = FoldSettings::load(rig.store);
    CHECK(stored.blur == 0.9);
    CHECK(stored.shadow == 0.1);
    CHECK(stored.perspective == 0.2);
    rig.store.commitStatus = StoreStatus::accessDenied;
    rig.c().togglePause();
    CHECK(rig.notes.lines.size() == 2);
}

TEST_CASE("a settings edit mid-fold is saved and announced, and the fold goes on") {
    Rig rig;
    std::vector<FoldSettings> announced;
    rig.c().onSettingsChange = [&announced](const FoldSettings& s) { announced.push_back(s); };
    rig.hold(115, 0.3);
    rig.lid(115, 70, 0.75);
    rig.c().editSettings([](FoldSettings& s) { s.setStyle(FoldStyle::ridge); });
    REQUIRE(announced.size() == 1);
    CHECK(announced.back().style == FoldStyle::ridge);
    CHECK(FoldSettings::load(rig.store).style == FoldStyle::ridge);
    CHECK(rig.panelState == "live");
    CHECK(rig.c().frameParams(rig.scheduler.now)->look.style == FoldStyle::ridge);
    // An edit cannot start a preview behind the preview operations' back.
    rig.c().editSettings([](FoldSettings& s) { s.setPreviewAngle(50); });
    CHECK_FALSE(rig.c().settings().previewAngle);
}

TEST_CASE("pause and resume by URL, and the Escape key") {
    Rig rig;
    rig.c().apply(*URLCommand::parse("orvane://pause"));
    CHECK(rig.c().settings().paused);
    CHECK(FoldSettings::load(rig.store).paused);
    CHECK(rig.published.back() == Availability::paused());
    rig.hold(115, 0.3);
    rig.lid(115, 60, 1);
    CHECK(rig.log.first("capture start") < 0);
    rig.c().apply(*URLCommand::parse("orvane://resume"));
    CHECK_FALSE(rig.c().settings().paused);
    CHECK(rig.published.back() == Availability::ready());

    rig.hold(60, 0.2);
    rig.lid(60, 115, 0.5);
    rig.hold(115, 1.5);
    rig.lid(115, 70, 0.75);
    REQUIRE(rig.quiet.escape);
    rig.c().escapePressed();
    CHECK(rig.c().settings().paused);
    CHECK(rig.panelState == "hidden");
    rig.c().escapePressed(); // already paused: nothing changes
    CHECK(rig.c().settings().paused);

    rig.c().apply(*URLCommand::parse("orvane://set?clear=80&style=dusk"));
    CHECK(FoldSettings::load(rig.store).clearAngle == 80);
    CHECK(FoldSettings::load(rig.store).style == FoldStyle::dusk);
}

TEST_CASE("the manual preview holds, and ends by its idle rule or its time") {
    Rig rig;
    rig.hold(115, 0.3);
    rig.c().setPreview(60);
    CHECK(rig.c().settings().previewAngle == 60);
    rig.scheduler.advanceBy(1);
    CHECK(rig.panelState == "live");
    CHECK(rig.capture.active());
    CHECK_FALSE(FoldSettings::load(rig.store).previewAngle);
    // Touched at 20 s, it lasts until 30 s after that.
    rig.scheduler.advanceBy(19);
    rig.c().previewInteraction();
    rig.scheduler.advanceBy(29);
    CHECK(rig.c().settings().previewAngle);
    // The idle check runs once a second.
    rig.scheduler.advanceBy(2.5);
    CHECK_FALSE(rig.c().settings().previewAngle);
    // With no display ticks at all the fade still ends by its deadline.
    rig.scheduler.advanceBy(Tuning::fadeTeardownMax + 0.01);
    CHECK_FALSE(rig.c().motion().showing());
    CHECK(rig.panelState == "hidden");
    CHECK_FALSE(rig.capture.active());

    // A URL preview runs its own time, whatever the idle rule says.
    rig.c().apply(*URLCommand::parse("orvane://preview?angle=55&seconds=12"));
    rig.scheduler.advanceBy(11.9);
    CHECK(rig.c().settings().previewAngle == 55);
    rig.scheduler.advanceBy(0.2);
    CHECK_FALSE(rig.c().settings().previewAngle);
    rig.scheduler.advanceBy(1);
    CHECK(rig.scheduler.pending() == 0);
}

TEST_CASE("random interleavings of inputs never break the controller's rules") {
    Xorshift32 random(0xc0ffee11);
    for (int run = 0; run < 150; ++run) {
        CAPTURE(run);
        Rig rig;
        double angle = 115;
        bool ticking = true;
        int publishedBefore = 0;
        for (int step = 0; step < 300; ++step) {
            const std::uint32_t pick = random.next() % 100;
            const double now = rig.scheduler.now;
            if (pick < 70) {
                const double target = 20 + 115 * random.uniform();
                const double seconds = 0.05 + 0.5 * random.uniform();
                rig.lid(angle, target, seconds, ticking);
                angle = target;
            } else if (pick < 73) {
                rig.c().willSleep();
            } else if (pick < 76) {
                rig.c().didWake();
            } else if (pick < 79) {
                rig.c().screenLocked(random.next() % 2 == 0);
            } else if (pick < 82) {
                rig.system.front =
                    random.next() % 2 == 0
                        ? std::optional(SystemFacts::FrontmostApp{"us.zoom.Zoom", "Zoom"})
                        : std::nullopt;
                rig.c().frontmostAppChanged();
            } else if (pick < 85) {
                rig.c().togglePause();
            } else if (pick < 88) {
                rig.c().apply(*URLCommand::parse("orvane://cover?mode=veil"));
            } else if (pick < 91) {
                rig.c().setPreview(random.next() % 2 == 0
                                       ? std::optional(30 + 100 * random.uniform())
                                       : std::nullopt);
            } else if (pick < 94) {
                ticking = !ticking; // the display stops or starts refreshing
            } else {
                rig.scheduler.advanceTo(now + 2 * random.uniform());
            }

            const EffectController& c = rig.c();
            const GateState state = c.gateState();
            const bool wantsCapture = state == GateState::arming || state == GateState::folding ||
                                      state == GateState::settling ||
                                      state == GateState::clearing ||
                                      c.settings().previewAngle.has_value();
            if (rig.capture.active() && !wantsCapture) {
                FAIL("capture still running when the gate no longer wants it");
            }
            const Availability a = c.availability();
            const bool halted = a == Availability::paused() || a == Availability::asleep();
            if (halted && (rig.capture.active() || c.motion().showing())) {
                FAIL("something shows or captures while paused, asleep or locked");
            }
            if (c.motion().fadingOut()) {
                // Even with no frames, the fade is over by its deadline.
                rig.scheduler.advanceTo(*c.motion().fadeDeadline() + 0.001);
                if (c.motion().showing() && c.motion().fadingOut()) {
                    FAIL("a fade-out outlived its deadline");
                }
            }
            for (std::size_t i = std::max(publishedBefore, 1); i < rig.published.size(); ++i) {
                if (rig.published[i] == rig.published[i - 1]) {
                    FAIL("an unchanged availability was announced again");
                }
            }
            publishedBefore = static_cast<int>(rig.published.size());
        }
    }
}

TEST_CASE("a lid resting half closed parks under the cover, which follows the settings") {
    Rig rig;
    rig.c().apply(*URLCommand::parse("orvane://cover?mode=veil"));
    rig.hold(115, 0.3);
    rig.lid(115, 60, 0.9);
    rig.hold(60, 2);
    REQUIRE(rig.c().gateState() == GateState::cover);
    CHECK(rig.panelState == "frozen");
    CHECK_FALSE(rig.capture.active());
    CHECK(rig.sensor.rates.back() == SensorRate::idle);
    REQUIRE(rig.quiet.covers.size() == 1);
    CHECK(rig.quiet.covers.back() == CoverMode::veil);
    // Drawn under the cover: the fully folded, frosted sheet.
    const auto params = rig.c().frameParams(rig.scheduler.now);
    CHECK(params->angle == Tuning::closedCap);
    CHECK(params->look.style == FoldStyle::rime);
    rig.c().apply(*URLCommand::parse("orvane://cover?mode=clock"));
    CHECK(rig.quiet.covers.back() == CoverMode::clock);
    // Cover off: the gate clears and the overlay goes.
    rig.c().apply(*URLCommand::parse("orvane://cover?mode=off"));
    rig.hold(60, 0.5);
    CHECK(rig.c().gateState() == GateState::idle);
    CHECK(rig.panelState == "hidden");
}
