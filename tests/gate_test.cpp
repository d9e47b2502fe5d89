// SPDX-License-Identifier: MIT
#include "core/Tuning.h"
#include "core/Xorshift.h"
#include "motion/MotionGate.h"
#include "sensor/AngleFilter.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>
#include <vector>

using namespace orvane;

namespace {

constexpr double period = 1.0 / Tuning::sensorHzActive;
constexpr double clearAngle = Tuning::defaultClearAngle;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

using enum GateState;

struct RawSample {
    double time = 0;
    double angle = 0;
};

// Holds and constant-speed moves, read at the active poll rate, with
// deterministic sensor jitter of up to `jitter` degrees either way.
class LidPath {
public:
    explicit LidPath(double angle) : end_(angle) {}
    double end() const { return end_; }
    LidPath& hold(double seconds) { return leg(end_, seconds); }
    LidPath& moveTo(double angle, double speed) {
        const double from = end_;
        end_ = angle;
        return leg(from, std::abs(angle - from) / speed);
    }

    std::vector<RawSample> samples(double start, double jitter = 0) const {
        Xorshift32 noise(0x2545f491);
        std::vector<RawSample> out;
        double legStart = 0;
        double i = 0;
        for (const Leg& leg : legs_) {
            for (; i * period < legStart + leg.duration; ++i) {
                const double into = (i * period - legStart) / leg.duration;
                const double angle = leg.from + (leg.to - leg.from) * into;
                out.push_back({start + i * period, angle + jitter * noise.signedNoise()});
            }
            legStart += leg.duration;
        }
        return out;
    }

private:
    struct Leg {
        double from, to, duration;
    };
    LidPath& leg(double from, double duration) {
        legs_.push_back({from, end_, duration});
        return *this;
    }
    double end_;
    std::vector<Leg> legs_;
};

struct Step {
    double raw = 0;
    GateInput input;
    GateOutput output;
    GateState from = idle;
    GateState state = idle;
    bool predicted = false; // wouldStartFold, asked just before the step
};
using Steps = std::vector<Step>;

bool startsFold(GateState from, GateState to) {
    const bool following = from == folding || from == settling;
    return from != to && !following && (to == arming || to == folding);
}

// The gate driven as the effect controller drives it: raw samples pass through
// the angle filter, and a capture stream has its first frame one sample after
// it is asked for. Every sample also checks what must always hold.
struct Rig {
    MotionGate gate;
    AngleFilter filter;
    GateSettings settings;
    bool blocked = false;
    bool framesArrive = true;
    bool capturing = false;
    double nextTime = 0;
    Steps history;

    Step feed(RawSample sample) {
        const FilteredSample lid = filter.ingest(sample.angle, sample.time);
        Step s;
        s.raw = sample.angle;
        s.input = {lid.angle, lid.velocity, sample.time, framesArrive && capturing,
                   blocked,   settings};
        s.from = gate.state();
        s.predicted = gate.wouldStartFold(s.input);
        s.output = gate.step(s.input);
        s.state = gate.state();
        capturing = s.output.wantsCapture;
        nextTime = sample.time + period;

        CAPTURE(sample.time);
        CHECK(s.predicted == startsFold(s.from, s.state));
        CHECK(std::isfinite(s.output.displayAngle));
        CHECK(s.output.events.size() <= 1);
        if (s.state == folding && s.from != folding) {
            CHECK(s.output.displayAngle == s.input.angle);
        }
        history.push_back(s);
        return s;
    }
    // The steps of this path alone; `history` keeps them all.
    Steps run(const LidPath& path, double jitter = 0) {
        Steps steps;
        for (RawSample sample : path.samples(nextTime, jitter)) {
            steps.push_back(feed(sample));
        }
        return steps;
    }
    // Runs the path until the gate reaches `wanted`.
    bool runUntil(const LidPath& path, GateState wanted) {
        const auto samples = path.samples(nextTime);
        return std::any_of(samples.begin(), samples.end(),
                           [&](RawSample sample) { return feed(sample).state == wanted; });
    }
};

// The first `count` states passed through, repeats collapsed.
std::vector<GateState> visited(const Steps& steps, std::size_t count = 99) {
    std::vector<GateState> states;
    for (const Step& s : steps) {
        if ((states.empty() || states.back() != s.state) && states.size() < count) {
            states.push_back(s.state);
        }
    }
    return states;
}

std::size_t clicks(const Steps& steps) {
    std::size_t count = 0;
    for (const Step& s : steps) {
        count += s.output.events.size();
    }
    return count;
}

std::size_t indexOf(const Steps& steps, GateState state, std::size_t from = 0) {
    while (from < steps.size() && steps[from].state != state) {
        ++from;
    }
    REQUIRE(from < steps.size());
    return from;
}

bool ever(const Steps& steps, GateState state) {
    return std::any_of(steps.begin(), steps.end(),
                       [state](const Step& s) { return s.state == state; });
}

LidPath closeTo60() {
    return LidPath(115).hold(0.3).moveTo(60, 60).hold(2);
}

// Folds from idle, parks in the cover, resumes from it, follows a second move
// from settling, then refolds from clearing: every way into a fold.
Rig throughEveryStart() {
    Rig rig;
    rig.settings.previewAngle = 70; // leaves a stale displayed angle behind
    rig.run(LidPath(115).hold(0.2));
    rig.settings.previewAngle.reset();
    rig.settings.coverMode = CoverMode::veil;
    rig.run(closeTo60());
    rig.run(LidPath(60).moveTo(80, 60).hold(0.3).moveTo(50, 60).hold(2));
    rig.settings.coverMode = CoverMode::off;
    REQUIRE(rig.runUntil(LidPath(50).hold(1), clearing));
    rig.run(LidPath(50).moveTo(40, 60).hold(2));
    return rig;
}

} // namespace

TEST_CASE("a steady close with no cover folds, settles, clears and goes idle without a click") {
    Rig rig;
    const Steps steps = rig.run(closeTo60());
    CHECK(visited(steps) == std::vector{idle, arming, folding, settling, clearing, idle});
    CHECK(clicks(steps) == 0);
    for (const Step& s : steps) {
        CAPTURE(s.input.time);
        if (s.state == arming) {
            CHECK(s.output.wantsCapture); // capture starts while the overlay waits for a frame
            CHECK_FALSE(s.output.overlayVisible);
        }
        if (s.state == folding || s.state == settling) {
            CHECK(s.output.overlayVisible);
            CHECK_FALSE(s.output.frozen);
            CHECK(s.output.sensorRate == SensorRate::active);
        }
        if (s.state == folding) {
            CHECK(s.output.displayAngle == s.input.angle);
        }
    }
    CHECK_FALSE(steps.back().output.wantsCapture);
    CHECK_FALSE(steps.back().output.overlayVisible);
}

TEST_CASE("a close with a cover parks frozen until the cover is switched off or the lid moves") {
    Rig rig;
    rig.settings.coverMode = CoverMode::veil;
    const Steps closing = rig.run(closeTo60());
    CHECK(visited(closing) == std::vector{idle, arming, folding, settling, cover});

    SUBCASE("switching the cover off clears, then idles once the clear duration has passed") {
        rig.settings.coverMode = CoverMode::off;
        const Steps steps = rig.run(LidPath(60).hold(1));
        CHECK(visited(steps) == std::vector{clearing, idle});
        const std::size_t done = indexOf(steps, idle);
        const double clearedAfter = steps[done].input.time - steps.front().input.time;
        CHECK(clearedAfter >= Tuning::clearDuration);
        CHECK(clearedAfter < Tuning::clearDuration + period);
        for (std::size_t i = 0; i < done; ++i) {
            const GateOutput& out = steps[i].output;
            CHECK(out.wantsCapture);
            CHECK(out.overlayVisible);
            CHECK_FALSE(out.frozen);
        }
    }
    SUBCASE("reopening keeps the frozen sheet up until a live frame arrives") {
        const Steps steps = rig.run(LidPath(60).moveTo(90, 60).hold(0.5));
        CHECK(visited(steps, 3) == std::vector{cover, arming, folding});
        const GateOutput resuming = steps[indexOf(steps, arming)].output;
        CHECK(resuming.wantsCapture);
        CHECK(resuming.overlayVisible);
        CHECK(resuming.frozen);
    }
    SUBCASE("a lid resting too far shut, or past the clear angle, clears instead") {
        for (double rest : {25.0, 105.0}) {
            CAPTURE(rest);
            Rig other;
            other.settings.coverMode = CoverMode::veil;
            const Steps steps = other.run(LidPath(115).moveTo(60, 60).moveTo(rest, 60).hold(2));
            CHECK_FALSE(ever(steps, cover));
            CHECK(other.gate.state() == idle);
        }
    }
}

TEST_CASE("a lid parks once it rests, dithering or not, but not while it creeps or is wiggled") {
    SUBCASE("with a degree of dither either way it still settles within 2 s") {
        for (CoverMode mode : {CoverMode::off, CoverMode::veil}) {
            CAPTURE(rawValue(mode));
            Rig rig;
            rig.settings.coverMode = mode;
            rig.run(LidPath(115).hold(0.3).moveTo(60, 60));
            const double stopped = rig.nextTime;
            const Steps steps = rig.run(LidPath(60).hold(3), 1.0);
            const GateState rest = mode == CoverMode::off ? clearing : cover;
            CHECK(steps[indexOf(steps, rest)].input.time - stopped <= 2.0);
            CHECK(rig.gate.state() == (mode == CoverMode::off ? idle : cover));
        }
    }
    Rig rig;
    rig.settings.coverMode = CoverMode::veil;
    LidPath path = LidPath(115).hold(0.3).moveTo(60, 60);
    SUBCASE("creeping") {
        path.moveTo(56, 1);
    }
    SUBCASE("wiggled") {
        for (int i = 0; i < 8; ++i) {
            path.moveTo(i % 2 == 0 ? 61.5 : 58.5, 12);
        }
    }
    CHECK_FALSE(ever(rig.run(path), cover));
    rig.run(LidPath(path.end()).hold(2));
    CHECK(rig.gate.state() == cover);
}

TEST_CASE("settling hands the sheet to the spring without showing it past the clear angle") {
    Rig rig;
    SUBCASE("the spring carries on the lid's motion when the speed estimate lags") {
        REQUIRE(rig.runUntil(LidPath(115).moveTo(60, 60), folding));
        GateInput in = rig.history.back().input;
        in.velocity = -5; // the lid has stopped, its estimate not yet
        bool settled = false;
        double lowest = in.angle;
        for (int i = 0; i < 60; ++i) {
            in.time += period;
            lowest = std::min(lowest, rig.gate.step(in).displayAngle);
            settled = settled || rig.gate.state() == settling;
        }
        CHECK(settled);
        CHECK(lowest < in.angle); // closed on past the lid before returning
    }
    SUBCASE("a lid stopping just short of the clear angle, whatever the spring's overshoot") {
        const Steps steps = rig.run(LidPath(60).hold(0.3).moveTo(99.5, 60).hold(2));
        for (const Step& s : steps) {
            CHECK(s.output.displayAngle < clearAngle);
        }
        CHECK(clicks(steps) == 0);
        CHECK(rig.gate.state() == idle);
    }
}

TEST_CASE("arming needs the lid closing at the arming speed, within reach of the clear angle") {
    Rig rig;
    SUBCASE("creeping shut below the arming speed") {
        CHECK_FALSE(ever(rig.run(LidPath(115).moveTo(90, 4).hold(1)), arming));
    }
    SUBCASE("closing fast but stopping beyond the arming reach") {
        CHECK_FALSE(ever(rig.run(LidPath(135).moveTo(125, 60).hold(1)), arming));
    }
    SUBCASE("creeping just above the arming speed arms, then folds inside the fold band") {
        const Steps steps = rig.run(LidPath(115).moveTo(90, 8).hold(0.5));
        CHECK(visited(steps, 3) == std::vector{idle, arming, folding});
        const std::size_t fold = indexOf(steps, folding);
        CHECK(steps[fold].input.angle < clearAngle + Tuning::fadeBand);
        CHECK(steps[fold - 1].input.angle >= clearAngle + Tuning::fadeBand);
    }
}

TEST_CASE("reopening past the clear angle clicks exactly once, and again only after a close") {
    Rig rig;
    rig.run(closeTo60());
    const Steps opening = rig.run(LidPath(60).moveTo(120, 60).hold(2.5));
    CHECK(clicks(opening) == 1);
    CHECK(rig.gate.state() == idle);
    for (std::size_t i = 1; i < opening.size(); ++i) {
        if (!opening[i].output.events.empty()) {
            CHECK(opening[i].output.events.front() == GateEvent::clearClick);
            CHECK(opening[i - 1].output.displayAngle < clearAngle);
            CHECK(opening[i].output.displayAngle >= clearAngle);
        }
    }
    SUBCASE("closing well below it re-arms the click") {
        CHECK(clicks(rig.run(LidPath(120).moveTo(90, 60).moveTo(120, 60).hold(2.5))) == 1);
    }
}

TEST_CASE("closing toward shut goes idle at the sleep angle, before the lid reaches 15 degrees") {
    Rig rig;
    const Steps steps = rig.run(LidPath(115).hold(0.3).moveTo(10, 60).hold(1));
    CHECK(visited(steps) == std::vector{idle, arming, folding, idle});
    CHECK(steps[indexOf(steps, idle, indexOf(steps, folding))].raw > 15);
    CHECK_FALSE(steps.back().output.overlayVisible);
}

TEST_CASE("arming without a frame gives up") {
    Rig rig;
    const auto armedFor = [](const Steps& steps) {
        CHECK(visited(steps) == std::vector{idle, arming, idle});
        CHECK_FALSE(steps.back().output.wantsCapture);
        const std::size_t armed = indexOf(steps, arming);
        return steps[indexOf(steps, idle, armed)].input.time - steps[armed].input.time;
    };
    SUBCASE("after the arm timeout when no frame ever arrives") {
        rig.framesArrive = false;
        const double armed = armedFor(rig.run(LidPath(115).hold(0.3).moveTo(100, 60).hold(3)));
        CHECK(armed > Tuning::armTimeout - period);
        CHECK(armed <= Tuning::armTimeout + period);
    }
    SUBCASE("sooner when the lid rests above the fold band") {
        CHECK(armedFor(rig.run(LidPath(125).hold(0.3).moveTo(110, 60).hold(3))) <
              Tuning::armTimeout);
    }
}

TEST_CASE("a preview shows its angle, never clicks, and is gone once it ends") {
    Rig rig;
    for (double angle : {60.0, 120.0, 60.0, 120.0}) {
        CAPTURE(angle);
        rig.settings.previewAngle = angle;
        // The lid moving underneath changes nothing.
        for (const Step& s : rig.run(LidPath(115).moveTo(95, 60).moveTo(115, 60).hold(0.5))) {
            CHECK(s.output.wantsCapture);
            CHECK(s.output.overlayVisible);
            CHECK_FALSE(s.output.frozen);
            CHECK(s.output.opacity == 1);
            CHECK(s.output.displayAngle == angle);
        }
    }
    rig.settings.previewAngle.reset();
    for (const Step& s : rig.run(LidPath(115).hold(1))) {
        CHECK_FALSE(s.output.overlayVisible);
    }
    CHECK(clicks(rig.history) == 0);
}

TEST_CASE("every way into a fold is predicted and shows the lid's current angle") {
    // Rig::feed checks prediction, outcome and the angle on every sample of
    // every test; this makes sure each way in is taken.
    const Rig rig = throughEveryStart();
    std::set<GateState> entries;
    std::set<std::pair<GateState, GateState>> predicted;
    for (const Step& s : rig.history) {
        if (s.state == folding && s.from != folding) {
            entries.insert(s.from);
        }
        if (s.predicted) {
            predicted.insert({s.from, s.state});
        }
    }
    CHECK(entries == std::set{arming, settling, clearing});
    CHECK(predicted ==
          std::set<std::pair<GateState, GateState>>{
              {idle, arming}, {arming, folding}, {cover, arming}, {clearing, folding}});

    SUBCASE("a cover switched off clears, however fast the lid moves") {
        Rig parked;
        parked.settings.coverMode = CoverMode::veil;
        parked.run(closeTo60());
        REQUIRE(parked.gate.state() == cover);
        GateInput in = parked.history.back().input;
        in.time += period;
        in.velocity = -60;
        in.settings.coverMode = CoverMode::off;
        CHECK_FALSE(parked.gate.wouldStartFold(in));
        parked.gate.step(in);
        CHECK(parked.gate.state() == clearing);
    }
}

TEST_CASE("forceIdle from any state goes idle and keeps the displayed angle") {
    Rig rig;
    rig.settings.coverMode = CoverMode::veil;
    std::set<GateState> seen;
    const auto forceAlong = [&](const LidPath& path) {
        for (RawSample sample : path.samples(rig.nextTime)) {
            rig.feed(sample);
            MotionGate forced = rig.gate;
            forced.forceIdle();
            CHECK(forced.state() == idle);
            CHECK(forced.displayAngle() == rig.gate.displayAngle());
            seen.insert(rig.gate.state());
        }
    };
    forceAlong(closeTo60());
    rig.settings.coverMode = CoverMode::off;
    forceAlong(LidPath(60).hold(0.5));
    CHECK(seen.size() == 6);

    SUBCASE("a lid still moving afterwards arms afresh instead of folding on") {
        Rig moving;
        REQUIRE(moving.runUntil(LidPath(115).moveTo(40, 60), folding));
        moving.gate.forceIdle();
        const double lid = moving.history.back().raw - 60 * period;
        const Step next = moving.run(LidPath(lid).moveTo(30, 60)).front();
        CHECK(next.state == arming);
        CHECK_FALSE(next.output.overlayVisible);
    }
}

TEST_CASE("samples leave no trace once out of the travel window, so the gate stays small") {
    // Sample i at i periods, the lid jumping at sample 1200 so both gates restart
    // their still band together; gates that agree on the last window compare equal.
    const auto feed = [](MotionGate& gate, int from, int to, std::vector<double> angles = {}) {
        for (int i = from; i < to; ++i) {
            for (double angle : angles.empty() ? std::vector{i < 1200 ? 115.0 : 130.0} : angles) {
                gate.step({angle, 0, i * period, false, false, {}});
            }
        }
    };
    MotionGate a;
    MotionGate b;
    SUBCASE("samples older than the window") {
        feed(a, 0, 1400);
        feed(b, 600, 1400);
    }
    SUBCASE("samples stamped before the clock stepped back") {
        feed(a, 2400, 2520, {115});
        feed(a, 1000, 1400);
        feed(b, 1000, 1400);
    }
    SUBCASE("samples repeating a time stamp") {
        feed(a, 0, 240, {115, 115.5, 115.5, 116});
        feed(b, 0, 240, {115, 116});
    }
    CHECK(a == b);
}

TEST_CASE("a sample without a finite angle, speed or time changes nothing") {
    Rig rig;
    rig.settings.coverMode = CoverMode::veil;
    rig.run(closeTo60());
    rig.settings.coverMode = CoverMode::off;
    rig.run(LidPath(60).hold(0.1));
    REQUIRE(visited(rig.history) == std::vector{idle, arming, folding, settling, cover, clearing});

    SUBCASE("the last output is repeated without its events") {
        MotionGate replay;
        for (const Step& s : rig.history) {
            replay.step(s.input);
            for (auto spoil : {+[](GateInput& in) { in.angle = notANumber; },
                               +[](GateInput& in) { in.velocity = -inf; },
                               +[](GateInput& in) { in.time = notANumber; },
                               +[](GateInput& in) { in.angle = inf; }}) {
                GateInput in = s.input;
                in.time += period;
                spoil(in);
                MotionGate gate = replay;
                GateOutput expected = s.output;
                expected.events.clear();
                CHECK(gate.step(in) == expected);
                CHECK(gate == replay);
                CHECK_FALSE(gate.wouldStartFold(in));
            }
        }
    }
    SUBCASE("it still blocks") {
        GateInput in = rig.history.back().input;
        in.angle = notANumber;
        in.blocked = true;
        GateOutput idleOutput;
        idleOutput.displayAngle = rig.gate.displayAngle();
        CHECK(rig.gate.step(in) == idleOutput);
        CHECK(rig.gate.state() == idle);
    }
    SUBCASE("a non-finite preview angle counts as no preview") {
        Rig spoiled, plain;
        spoiled.settings.previewAngle = notANumber;
        const Steps steps = spoiled.run(closeTo60()), expected = plain.run(closeTo60());
        REQUIRE(steps.size() == expected.size());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            CHECK(steps[i].output == expected[i].output);
        }
    }
    SUBCASE("while settling, a huge angle or a pause of decades keeps the output finite") {
        Rig spring;
        REQUIRE(spring.runUntil(closeTo60(), settling));
        MotionGate copy = spring.gate;
        GateInput in = spring.history.back().input;
        in.time += 1e9;
        CHECK(spring.gate.step(in).displayAngle == doctest::Approx(in.angle)); // spring arrived
        in.time = spring.history.back().input.time + period;
        in.angle = 1e308;
        in.velocity = 0;
        CHECK(std::isfinite(copy.step(in).displayAngle));
    }
}
