// SPDX-License-Identifier: MIT
#include "accordion/AccordionDSP.h"
#include "accordion/AccordionEngine.h"
#include "accordion/AccordionModel.h"
#include "accordion/AccordionParams.h"
#include "accordion/AccordionRender.h"
#include "core/Wav.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <numbers>
#include <vector>

using namespace orvane;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double rate = 48000.0;

std::size_t frames(double seconds) {
    return static_cast<std::size_t>(seconds * rate);
}

double rms(const std::vector<float>& x, std::size_t begin, std::size_t end) {
    double sum = 0;
    for (std::size_t i = begin; i < end; ++i) {
        sum += static_cast<double>(x[i]) * x[i];
    }
    return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

// Power of the component at `hz` (Goertzel), independent of the window length.
double tonePower(const std::vector<float>& x, std::size_t begin, std::size_t end, double hz) {
    const double w = 2.0 * std::numbers::pi * hz / rate;
    const double c = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const double s0 = x[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    const double n = static_cast<double>(end - begin);
    return power / (n * n);
}

// Energy in the upper harmonics of `notes` over the energy in their first two:
// noise between the harmonics does not count.
double brightness(const std::vector<float>& x, std::size_t begin, std::size_t end,
                  std::initializer_list<int> notes) {
    double high = 0, low = 0;
    for (const int note : notes) {
        const double f = AccordionDSP::midiToFreq(note);
        for (int n = 1; n <= 2; ++n) {
            low += tonePower(x, begin, end, n * f);
        }
        for (int n = 8; n <= 14; ++n) {
            high += tonePower(x, begin, end, n * f);
        }
    }
    return high / low;
}

double largestStep(const std::vector<float>& x) {
    double step = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        step = std::max(step, std::abs(static_cast<double>(x[i]) - x[i - 1]));
    }
    return step;
}

bool allFiniteWithin(const std::vector<float>& x, double limit) {
    return std::all_of(x.begin(), x.end(),
                       [limit](float v) { return std::isfinite(v) && std::abs(v) <= limit; });
}

// A DSP driven by hand: the tests set the shared controls between renders.
struct Rig {
    explicit Rig(std::uint32_t seed = AccordionDSP::defaultSeed, bool humanises = true)
        : dsp(rate, seed, humanises) {
        params.enabled = 1;
        params.volume = 1.0f;
    }
    void play(int zone, int direction, float pressure) {
        params.zone = zone;
        params.direction = direction;
        params.targetPressure = pressure;
    }
    void render(double seconds) {
        const std::size_t n = frames(seconds);
        const std::size_t at = left.size();
        left.resize(at + n);
        right.resize(at + n);
        dsp.render(static_cast<int>(n), left.data() + at, right.data() + at, params);
    }
    std::size_t now() const { return left.size(); }

    AccordionDSP dsp;
    AccordionParams params;
    std::vector<float> left, right;
};

// Feeds a lid moving at a constant speed, 60 samples a second.
struct Lid {
    void move(double speed, double seconds) {
        const int steps = static_cast<int>(std::round(seconds * 60));
        for (int i = 0; i < steps; ++i) {
            t += 1.0 / 60;
            angle += speed / 60;
            model.update(angle, speed, t, params);
        }
    }
    AccordionModel model;
    AccordionParams params;
    double angle = 100;
    double t = 0;
};

class FakeOutput final : public AudioOutput {
public:
    std::optional<Format> open(Render render, void* context, int preferredRate, int channels,
                               std::string* error) override {
        ++opens;
        askedRate = preferredRate;
        askedChannels = channels;
        if (!format) {
            if (error != nullptr) {
                *error = "no device";
            }
            return std::nullopt;
        }
        render_ = render;
        context_ = context;
        open_ = true;
        return format;
    }
    void setRunning(bool on) override { pulling = on; }
    void close() override {
        ++closes;
        open_ = false;
        pulling = false;
        render_ = nullptr;
        context_ = nullptr;
    }
    bool isOpen() const override { return open_; }

    // What the device's thread would do: one callback of `n` frames.
    std::vector<float> pull(int n) {
        std::vector<float> buffer(static_cast<std::size_t>(n * std::max(format->channels, 1)),
                                  -7.0f);
        REQUIRE(static_cast<bool>(render_));
        render_(context_, buffer.data(), n);
        return buffer;
    }

    std::optional<Format> format = Format{48000, 2, 512};
    int opens = 0;
    int closes = 0;
    int askedRate = 0;
    int askedChannels = 0;
    bool pulling = false;

private:
    Render render_ = nullptr;
    void* context_ = nullptr;
    bool open_ = false;
};

class FakeScheduler final : public Scheduler {
public:
    Handle after(double, std::function<void()> work) override {
        timers[++last] = std::move(work);
        return last;
    }
    Handle every(double seconds, std::function<void()> work) override {
        interval = seconds;
        timers[++last] = std::move(work);
        return last;
    }
    void cancel(Handle handle) override { timers.erase(handle); }
    void tick() {
        const auto live = timers;
        for (const auto& [handle, work] : live) {
            if (timers.count(handle) != 0) {
                work();
            }
        }
    }

    std::map<Handle, std::function<void()>> timers;
    Handle last = 0;
    double interval = 0;
};

struct EngineRig {
    explicit EngineRig(bool starts = true)
        : engine({output, scheduler, [this] { return clock; }, starts}) {}
    void moveLid(double seconds = 0.2) {
        for (int i = 0; i < static_cast<int>(seconds * 60); ++i) {
            lidTime += 1.0 / 60;
            angle -= 80.0 / 60;
            engine.update(angle, -80, lidTime);
        }
    }
    void holdLid(double seconds) {
        for (int i = 0; i < static_cast<int>(seconds * 60); ++i) {
            lidTime += 1.0 / 60;
            clock += 1.0 / 60;
            engine.update(angle, 0, lidTime);
        }
    }

    FakeOutput output;
    FakeScheduler scheduler;
    double clock = 100;
    double lidTime = 0;
    double angle = 110;
    AccordionEngine engine;
};

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::string tag(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

// The performance is the slowest thing here; render it once.
const RenderedAudio& performance() {
    static const RenderedAudio audio = AccordionRender::renderPerformance();
    return audio;
}

} // namespace

TEST_CASE("the zone holds within two degrees beyond its edges") {
    SUBCASE("leaving the wide-open zone") {
        CHECK(AccordionModel::zoneForAngle(114, 0) == 0);
        CHECK(AccordionModel::zoneForAngle(113, 0) == 0);
        CHECK(AccordionModel::zoneForAngle(112.9, 0) == 1);
    }
    SUBCASE("returning to it") {
        CHECK(AccordionModel::zoneForAngle(116, 1) == 1);
        CHECK(AccordionModel::zoneForAngle(117, 1) == 1);
        CHECK(AccordionModel::zoneForAngle(117.1, 1) == 0);
    }
    SUBCASE("a big jump crosses several zones at once, both ways") {
        CHECK(AccordionModel::zoneForAngle(10, 0) == 5);
        CHECK(AccordionModel::zoneForAngle(60, 5) == 3);
        CHECK(AccordionModel::zoneForAngle(170, 5) == 0);
        CHECK(AccordionModel::zoneForAngle(36, 5) == 5);
    }
    SUBCASE("a NaN angle or an out-of-range zone never leaves the zone range") {
        CHECK(AccordionModel::zoneForAngle(notANumber, 3) == 3);
        CHECK(AccordionModel::zoneForAngle(100, 40) == 1);
        CHECK(AccordionModel::zoneForAngle(100, -3) == 1);
        CHECK(AccordionModel::zoneForAngle(inf, 4) == 0);
        CHECK(AccordionModel::zoneForAngle(-inf, 1) == 5);
    }
}

TEST_CASE("the first placement takes the zone without hysteresis") {
    CHECK(AccordionModel::rawZone(115) == 0);
    CHECK(AccordionModel::rawZone(150) == 0);
    CHECK(AccordionModel::rawZone(114.9) == 1);
    CHECK(AccordionModel::rawZone(100) == 1);
    CHECK(AccordionModel::rawZone(37) == 4);
    CHECK(AccordionModel::rawZone(36.9) == 5);
    CHECK(AccordionModel::rawZone(10) == 5);

    AccordionModel model;
    AccordionParams params;
    model.update(100, 0, 0, params);
    CHECK(model.zone == 1);
    CHECK(params.zone == 1);
}

TEST_CASE("dithering a degree around an edge changes the zone at most once") {
    for (const double edge : Tuning::accordionZoneEdges) {
        CAPTURE(edge);
        AccordionModel model;
        AccordionParams params;
        model.update(edge + 1, 0, 0, params);
        int changes = 0;
        std::int64_t zone = model.zone;
        for (int i = 1; i <= 200; ++i) {
            model.update(edge + (i % 2 == 0 ? 1.0 : -1.0), 0, i * 0.01, params);
            changes += model.zone != zone ? 1 : 0;
            zone = model.zone;
        }
        CHECK(changes <= 1);
    }
}

TEST_CASE("the bellows direction follows the lid only while it really moves") {
    SUBCASE("closing at 80 degrees per second pushes, opening pulls") {
        Lid closing;
        closing.move(-80, 0.3);
        CHECK(closing.params.direction == -1);
        CHECK(closing.params.targetPressure > 0.8f);
        Lid opening;
        opening.move(80, 0.3);
        CHECK(opening.params.direction == 1);
    }
    SUBCASE("slow jitter at rest never sets a direction") {
        Lid lid;
        for (int i = 0; i < 300; ++i) {
            lid.t += 1.0 / 60;
            lid.model.update(lid.angle + (i % 2 == 0 ? 0.05 : -0.05), i % 2 == 0 ? 3 : -3, lid.t,
                             lid.params);
        }
        CHECK(lid.params.direction == 0);
        CHECK(lid.params.targetPressure <= 0.05f);
        CHECK(lid.params.puffCounter == 0);
    }
    SUBCASE("slow jitter after a push keeps the push and makes no puff") {
        Lid lid;
        lid.move(-80, 0.3);
        for (int i = 0; i < 300; ++i) {
            lid.t += 1.0 / 60;
            lid.model.update(lid.angle + (i % 2 == 0 ? 0.05 : 0.0), i % 2 == 0 ? 3 : -3, lid.t,
                             lid.params);
        }
        CHECK(lid.params.direction == -1);
        CHECK(lid.params.puffCounter == 0);
    }
    SUBCASE("a reported velocity without travel makes no pressure") {
        Lid lid;
        lid.move(0, 0.2);
        lid.t += 1.0 / 60;
        lid.model.update(lid.angle, -200, lid.t, lid.params);
        CHECK(lid.params.targetPressure == 0.0f);
        CHECK(lid.params.direction == 0);
    }
    SUBCASE("the first sample has only the reported speed to go by") {
        AccordionModel model;
        AccordionParams params;
        model.update(100, -120, 5, params);
        CHECK(params.targetPressure == 1.0f);
        CHECK(params.direction == -1);
        AccordionModel slow;
        slow.update(100, 1.0, 5, params);
        CHECK(params.targetPressure == 0.0f);
    }
    SUBCASE("pressure grows with speed up to full") {
        float last = -1;
        for (const double speed : {5.0, 20.0, 45.0, 70.0, 92.0}) {
            Lid lid;
            lid.move(speed, 0.2);
            CHECK(lid.params.targetPressure > last);
            last = lid.params.targetPressure;
        }
        CHECK(last == 1.0f);
    }
}

TEST_CASE("bellows reversals puff and, in quick succession, shake") {
    SUBCASE("one reversal puffs once without tremolo") {
        Lid lid;
        lid.move(-80, 0.3);
        lid.move(80, 0.3);
        CHECK(lid.params.puffCounter == 1);
        CHECK(lid.params.tremolo == 0.0f);
    }
    SUBCASE("starting from rest is no reversal") {
        Lid lid;
        lid.move(80, 0.3);
        CHECK(lid.params.puffCounter == 0);
    }
    SUBCASE("quick reversals shake, and the shake fades within a second") {
        Lid lid;
        lid.move(-80, 0.2);
        float peak = 0;
        for (int i = 0; i < 6; ++i) {
            lid.move(i % 2 == 0 ? 80 : -80, 0.1);
            peak = std::max(peak, lid.params.tremolo.load());
        }
        CHECK(lid.params.puffCounter == 6);
        CHECK(peak > 0.3f);
        CHECK(peak <= 1.0f);
        lid.move(-80, 1.0);
        CHECK(lid.params.tremolo == 0.0f);
    }
    SUBCASE("the puff counter wraps") {
        Lid lid;
        lid.params.puffCounter = std::numeric_limits<std::int32_t>::max();
        lid.move(-80, 0.2);
        lid.move(80, 0.2);
        CHECK(lid.params.puffCounter == std::numeric_limits<std::int32_t>::min());
    }
}

TEST_CASE("a lid sample with a non-finite part is ignored") {
    Lid lid;
    lid.move(-80, 0.2);
    const AccordionModel before = lid.model;
    const float pressure = lid.params.targetPressure;
    for (const auto& [a, v, t] : std::vector<std::array<double, 3>>{{notANumber, -80, 1},
                                                                    {inf, -80, 1},
                                                                    {90, notANumber, 1},
                                                                    {90, -inf, 1},
                                                                    {90, -80, notANumber},
                                                                    {90, -80, inf}}) {
        lid.model.update(a, v, t, lid.params);
        CHECK(lid.model == before);
        CHECK(lid.params.targetPressure == pressure);
    }
    CHECK(std::isfinite(lid.params.tremolo.load()));
}

TEST_CASE("models are equal only when every field is") {
    AccordionModel a, b;
    CHECK(a == b);
    b.lastTime = 0.0;
    CHECK_FALSE(a == b);
    b = a;
    b.shake = 0.1;
    CHECK_FALSE(a == b);
    b = a;
    b.direction = 1;
    CHECK_FALSE(a == b);
}

TEST_CASE("each chord sounds its own notes") {
    const std::size_t from = frames(0.4), to = frames(1.2);
    const double e4 = AccordionDSP::midiToFreq(64), f4 = AccordionDSP::midiToFreq(65);
    const RenderedAudio push = AccordionRender::renderChord(0, -1, 0.8, 1.2, 1.0);
    CHECK(tonePower(push.left, from, to, e4) > 4 * tonePower(push.left, from, to, f4));
    const RenderedAudio pull = AccordionRender::renderChord(0, 1, 0.8, 1.2, 1.0);
    CHECK(tonePower(pull.left, from, to, f4) > 4 * tonePower(pull.left, from, to, e4));

    SUBCASE("the note table follows equal temperament from A4") {
        CHECK(AccordionDSP::midiToFreq(69) == doctest::Approx(440.0));
        CHECK(AccordionDSP::midiToFreq(60) == doctest::Approx(261.63).epsilon(1e-4));
        CHECK(AccordionDSP::midiToFreq(64) == doctest::Approx(329.63).epsilon(1e-4));
        CHECK(AccordionDSP::midiToFreq(65) == doctest::Approx(349.23).epsilon(1e-4));
        CHECK(AccordionDSP::midiToFreq(36) == doctest::Approx(65.41).epsilon(1e-4));
    }
    SUBCASE("each zone's pull chord is the push chord of the zone above") {
        for (std::size_t zone = 0; zone < AccordionDSP::chords.size(); ++zone) {
            const ChordEntry& here = AccordionDSP::chords[zone];
            const ChordEntry& above = AccordionDSP::chords[(zone + 5) % 6];
            CHECK(here.pull == above.push);
            CHECK(here.pullBass == above.pushBass);
        }
    }
}

TEST_CASE("the output stays finite and under half scale") {
    for (const double volume : {0.0, 0.3, 1.0}) {
        CAPTURE(volume);
        const RenderedAudio audio = AccordionRender::renderChord(5, -1, 1.0, 0.5, volume);
        CHECK(allFiniteWithin(audio.left, 0.5));
        CHECK(allFiniteWithin(audio.right, 0.5));
    }
    SUBCASE("whatever the shared controls hold") {
        Rig rig;
        rig.play(0, -1, 1.0f);
        rig.render(0.2);
        rig.params.volume = std::numeric_limits<float>::quiet_NaN();
        rig.params.targetPressure = std::numeric_limits<float>::infinity();
        rig.params.tremolo = std::numeric_limits<float>::quiet_NaN();
        rig.render(0.2);
        rig.params.zone = 99;
        rig.params.direction = -1234;
        rig.params.volume = 50.0f;
        rig.params.targetPressure = -3.0f;
        rig.render(0.2);
        CHECK(allFiniteWithin(rig.left, 0.5));
        CHECK(allFiniteWithin(rig.right, 0.5));
    }
    SUBCASE("a NaN pressure, volume or length renders silence, never NaN") {
        CHECK(AccordionRender::renderChord(0, -1, 0.5, notANumber, 1.0).frameCount() == 0);
        CHECK(AccordionRender::renderChord(0, -1, 0.5, -1.0, 1.0).frameCount() == 0);
        const RenderedAudio silent = AccordionRender::renderChord(0, -1, 0.5, 0.3, notANumber);
        CHECK(rms(silent.left, 0, silent.frameCount()) == 0.0);
        const RenderedAudio still = AccordionRender::renderChord(0, -1, notANumber, 0.3, 1.0);
        CHECK(allFiniteWithin(still.left, 0.5));
    }
}

TEST_CASE("more speed sounds louder and brighter") {
    const std::size_t from = frames(0.3), to = frames(1.0);
    const RenderedAudio soft = AccordionRender::renderChord(2, -1, 0.25, 1.0, 1.0);
    const RenderedAudio hard = AccordionRender::renderChord(2, -1, 1.0, 1.0, 1.0);
    CHECK(rms(hard.left, from, to) > 1.5 * rms(soft.left, from, to));
    // F major, the push chord of zone 2.
    CHECK(brightness(hard.left, from, to, {53, 57, 60}) >
          2 * brightness(soft.left, from, to, {53, 57, 60}));
}

TEST_CASE("a reversal puffs and accents") {
    Rig steady, reversed;
    for (Rig* rig : {&steady, &reversed}) {
        rig->play(1, 1, 0.5f);
        rig->render(0.6);
    }
    const std::size_t at = steady.now();
    reversed.params.puffCounter = reversed.params.puffCounter + 1;
    steady.render(0.05);
    reversed.render(0.05);
    CHECK(rms(reversed.left, at, at + frames(0.04)) >
          1.3 * rms(steady.left, at, at + frames(0.04)));
}

TEST_CASE("a reversal at rest is a short burst of air") {
    Rig rig;
    rig.play(1, 1, 0.0f);
    rig.render(0.2);
    const std::size_t at = rig.now();
    rig.params.puffCounter = 5;
    rig.render(0.2);
    CHECK(rms(rig.left, at - frames(0.05), at) < 1e-4);
    CHECK(rms(rig.left, at, at + frames(0.04)) > 0.01);
    CHECK(rms(rig.left, at + frames(0.05), rig.now()) < 1e-4);
}

TEST_CASE("the bellows shake is a tremolo at 8.5 Hz") {
    Rig rig;
    rig.play(3, 1, 0.7f);
    rig.params.tremolo = 1.0f;
    rig.render(1.3);
    const std::size_t window = frames(0.03), hop = frames(0.0025);
    std::vector<double> curve;
    for (std::size_t at = frames(0.4); at + window <= frames(1.3); at += hop) {
        curve.push_back(rms(rig.left, at, at + window));
    }
    double mean = 0;
    for (const double v : curve) {
        mean += v / static_cast<double>(curve.size());
    }
    int crossings = 0;
    for (std::size_t i = 1; i < curve.size(); ++i) {
        crossings += (curve[i - 1] < mean) != (curve[i] < mean) ? 1 : 0;
    }
    CHECK(crossings >= 13);
    CHECK(crossings <= 17);

    SUBCASE("without shake the level is steady") {
        Rig calm;
        calm.play(3, 1, 0.7f);
        calm.render(1.3);
        const double a = rms(calm.left, frames(0.5), frames(0.9));
        const double b = rms(calm.left, frames(0.9), frames(1.3));
        CHECK(std::abs(a - b) < 0.05 * a);
    }
}

TEST_CASE("the sound dies away without a click") {
    Rig rig;
    rig.play(0, -1, 0.9f);
    rig.render(0.5);
    SUBCASE("after the lid stops") {
        rig.params.targetPressure = 0.0f;
        const std::size_t stop = rig.now();
        rig.render(0.8);
        CHECK(rms(rig.left, stop + frames(0.7), rig.now()) < 1e-4);
        CHECK(rms(rig.right, stop + frames(0.7), rig.now()) < 1e-4);
    }
    SUBCASE("across pairs of chord changes") {
        for (int i = 0; i < 6; ++i) {
            rig.play(i % 6, i % 2 == 0 ? 1 : -1, 0.9f);
            rig.render(0.005);
            rig.play((i + 2) % 6, i % 2 == 0 ? -1 : 1, 0.9f);
            rig.render(0.15);
        }
    }
    SUBCASE("a change with no silent bank waits for one and then sounds") {
        for (const auto& [zone, seconds] : {std::pair{2, 0.01}, {4, 0.005}, {1, 0.5}}) {
            rig.play(zone, -1, 0.9f);
            rig.render(seconds);
        }
        // A minor has E4 where D minor, still fading out, has F4.
        const std::size_t from = rig.now() - frames(0.3), to = rig.now();
        CHECK(tonePower(rig.left, from, to, AccordionDSP::midiToFreq(64)) >
              4 * tonePower(rig.left, from, to, AccordionDSP::midiToFreq(65)));
    }
    SUBCASE("across three quick chord changes") {
        for (const int zone : {1, 2, 3}) {
            rig.play(zone, -1, 0.9f);
            rig.render(0.004);
        }
        rig.render(0.3);
    }
    CHECK(largestStep(rig.left) < 0.06);
    CHECK(largestStep(rig.right) < 0.06);
    CHECK(rig.dsp.soundingRewrites() == 0);
}

TEST_CASE("a chord change every 10 ms stays finite and never rewrites a sounding bank") {
    Rig rig;
    for (int i = 0; i < 200; ++i) {
        rig.play(i % 6, i % 3 == 0 ? -1 : 1, 0.3f + 0.003f * static_cast<float>(i));
        rig.render(0.01);
    }
    CHECK(allFiniteWithin(rig.left, 0.5));
    CHECK(allFiniteWithin(rig.right, 0.5));
    CHECK(rig.dsp.soundingRewrites() == 0);
}

TEST_CASE("a zone change brings the oompah stab an octave below") {
    Rig rig;
    rig.play(0, -1, 0.6f);
    rig.render(1.0);
    rig.play(1, -1, 0.6f);
    const std::size_t change = rig.now();
    rig.render(2.0);
    // The A minor chord's C and E one octave down; the bass plays neither.
    const auto stabBand = [&](std::size_t from) {
        const std::size_t to = from + frames(0.3);
        return tonePower(rig.left, from, to, AccordionDSP::midiToFreq(48)) +
               tonePower(rig.left, from, to, AccordionDSP::midiToFreq(52));
    };
    const double stab = stabBand(change + frames(0.15));
    const double steady = stabBand(change + frames(1.5));
    CHECK(stab > 2.5 * steady);
    CHECK(stab > 3e-6);

    SUBCASE("a change of direction alone brings no stab") {
        Rig turn;
        turn.play(1, 1, 0.6f);
        turn.render(1.5);
        turn.play(1, -1, 0.6f);
        const std::size_t at = turn.now();
        turn.render(0.6);
        const std::size_t from = at + frames(0.15), to = from + frames(0.3);
        const double band = tonePower(turn.left, from, to, AccordionDSP::midiToFreq(48)) +
                            tonePower(turn.left, from, to, AccordionDSP::midiToFreq(52));
        CHECK(band < stab / 2.5);
    }
}

TEST_CASE("humanisation spreads the reeds and follows the seed") {
    SUBCASE("a load into a cold bank spreads the musette phases") {
        Rig rig;
        CHECK(rig.dsp.probeReedPhaseSpread() == 0.0);
        rig.play(2, 1, 0.5f);
        rig.render(0.01);
        CHECK(rig.dsp.probeReedPhaseSpread() > 0.15);
    }
    const auto output = [](std::uint32_t seed, bool humanises) {
        Rig rig(seed, humanises);
        rig.play(4, -1, 0.7f);
        rig.render(0.3);
        rig.play(2, 1, 0.7f);
        rig.render(0.3);
        return rig.left;
    };
    SUBCASE("without humanisation the seed does not matter") {
        CHECK(output(7, false) == output(99, false));
    }
    SUBCASE("with humanisation a seed repeats and another one differs") {
        CHECK(output(7, true) == output(7, true));
        CHECK(output(7, true) != output(99, true));
        CHECK(output(0, true) == output(AccordionDSP::defaultSeed, true));
    }
}

TEST_CASE("a new generator fades in from silence") {
    Rig rig;
    rig.play(0, -1, 1.0f);
    rig.render(0.002);
    CHECK(std::abs(rig.left.front()) < 1e-3);
    CHECK(largestStep(rig.left) < 0.06);
    std::vector<float> none(4, 9.0f);
    rig.dsp.render(0, none.data(), none.data(), rig.params);
    CHECK(none == std::vector<float>(4, 9.0f));
}

TEST_CASE("the filter helpers") {
    CHECK(AccordionDSP::flushTiny(9e-19) == 0.0);
    CHECK(AccordionDSP::flushTiny(-9e-19) == 0.0);
    CHECK(AccordionDSP::flushTiny(1e-18) == 1e-18);
    CHECK(AccordionDSP::flushTiny(-0.25) == -0.25);
    CHECK(AccordionDSP::clampedCutoff(5, 48000) == 20.0);
    CHECK(AccordionDSP::clampedCutoff(1000, 48000) == 1000.0);
    CHECK(AccordionDSP::clampedCutoff(30000, 48000) == 21600.0);
    CHECK(AccordionDSP(notANumber).sampleRate() == 48000.0);
    CHECK(AccordionDSP(-44100).sampleRate() == 48000.0);
    CHECK(AccordionDSP(44100).sampleRate() == 44100.0);
}

TEST_CASE("the scripted performance") {
    const RenderedAudio& audio = performance();
    CHECK(audio.frameCount() == 250800);
    CHECK(audio.sampleRate == 48000.0);
    CHECK(allFiniteWithin(audio.left, 0.95));
    CHECK(allFiniteWithin(audio.right, 0.95));

    SUBCASE("is quiet inside every rest window") {
        REQUIRE(audio.restWindows.size() == 2);
        CHECK(audio.restWindows[0] == FrameRange{100000, 112000});
        CHECK(audio.restWindows[1] == FrameRange{190800, 202800});
        for (const FrameRange& rest : audio.restWindows) {
            CHECK(rms(audio.left, rest.begin, rest.end) < 1e-4);
            CHECK(rms(audio.right, rest.begin, rest.end) < 1e-4);
        }
    }
    SUBCASE("is clearly audible while the lid moves") {
        CHECK(rms(audio.left, frames(0.3), frames(1.3)) > 0.02);  // closing
        CHECK(rms(audio.left, frames(2.45), frames(3.2)) > 0.02); // opening
        CHECK(rms(audio.left, frames(4.4), frames(5.2)) > 0.005); // wobble
    }
    SUBCASE("is the same every time") {
        const RenderedAudio again = AccordionRender::renderPerformance();
        CHECK(again.left == audio.left);
        CHECK(again.right == audio.right);
    }
}

TEST_CASE("the performance as a WAV file") {
    const auto encoded = AccordionRender::encodeWAV(performance());
    REQUIRE(encoded);
    const std::vector<std::uint8_t>& bytes = *encoded;
    REQUIRE(bytes.size() == 44 + 1003200);
    CHECK(tag(bytes, 0) == "RIFF");
    CHECK(le32(bytes, 4) == 1003236);
    CHECK(tag(bytes, 8) == "WAVE");
    CHECK(tag(bytes, 12) == "fmt ");
    CHECK(le32(bytes, 16) == 16);
    CHECK(le16(bytes, 20) == 1);
    CHECK(le16(bytes, 22) == 2);
    CHECK(le32(bytes, 24) == 48000);
    CHECK(le32(bytes, 28) == 192000);
    CHECK(le16(bytes, 32) == 4);
    CHECK(le16(bytes, 34) == 16);
    CHECK(tag(bytes, 36) == "data");
    CHECK(le32(bytes, 40) == 1003200);

    SUBCASE("the samples are the render's, left then right") {
        const RenderedAudio& audio = performance();
        bool same = true;
        for (std::size_t i = 0; i < audio.frameCount(); i += 997) {
            const auto l = static_cast<std::int16_t>(le16(bytes, 44 + 4 * i));
            const auto r = static_cast<std::int16_t>(le16(bytes, 46 + 4 * i));
            same = same && std::abs(l - audio.left[i] * 32767.0f) < 1.0f &&
                   std::abs(r - audio.right[i] * 32767.0f) < 1.0f;
        }
        CHECK(same);
    }
}

TEST_CASE("WAV samples are full scale at ±32767") {
    CHECK(Wav::sampleToInt16(0.0f) == 0);
    CHECK(Wav::sampleToInt16(1.0f) == 32767);
    CHECK(Wav::sampleToInt16(3.0f) == 32767);
    CHECK(Wav::sampleToInt16(-1.0f) == -32767);
    CHECK(Wav::sampleToInt16(-7.0f) == -32767);
    CHECK(Wav::sampleToInt16(0.5f) == 16383);
    CHECK(Wav::sampleToInt16(-0.5f) == -16383);
    CHECK(Wav::sampleToInt16(std::numeric_limits<float>::quiet_NaN()) == 0);
    CHECK(Wav::sampleToInt16(std::numeric_limits<float>::infinity()) == 32767);
    CHECK(Wav::sampleToInt16(-std::numeric_limits<float>::infinity()) == -32767);

    SUBCASE("a ragged render writes the shorter channel's length") {
        RenderedAudio audio;
        audio.sampleRate = 44100;
        audio.left = {0.1f, 0.2f, 0.3f};
        audio.right = {0.1f};
        const auto bytes =
            Wav::encodeStereo16(audio.left.data(), audio.right.data(), audio.frameCount(), 44100);
        REQUIRE(bytes);
        CHECK(bytes->size() == 48);
        CHECK(le32(*bytes, 40) == 4);
        CHECK(le32(*bytes, 28) == 176400);
    }
}

TEST_CASE("the hello chord swells and dies away") {
    const RenderedAudio hello = AccordionRender::renderHelloChord(0.6);
    REQUIRE(hello.frameCount() == 52800);
    float peak = 0;
    for (const float v : hello.left) {
        peak = std::max(peak, std::abs(v));
    }
    CHECK(peak > 0.05f);
    CHECK(rms(hello.left, 52800 - 4800, 52800) < 1e-3);
    CHECK(rms(hello.left, frames(0.2), frames(0.45)) > 50 * rms(hello.left, 48000, 52800));
    const RenderedAudio quiet = AccordionRender::renderHelloChord(-2);
    CHECK(rms(quiet.left, 0, quiet.frameCount()) == 0.0);
}

TEST_CASE("the start throttle retries a failing device once a second") {
    AudioStartThrottle throttle;
    CHECK(throttle.allow(0));
    CHECK(throttle.allow(-1e9));
    throttle.failed(10);
    CHECK_FALSE(throttle.allow(10));
    CHECK_FALSE(throttle.allow(10.5));
    CHECK(throttle.allow(11.0));
    throttle.failed(20);
    throttle.reset();
    CHECK(throttle.allow(20));

    SUBCASE("a NaN time neither blocks nor unblocks") {
        AudioStartThrottle fresh;
        fresh.failed(notANumber);
        CHECK(fresh.allow(0));
        CHECK(fresh.allow(notANumber));
        fresh.failed(5);
        CHECK_FALSE(fresh.allow(notANumber));
    }
}

TEST_CASE("an output format is usable with a positive finite rate and some channels") {
    CHECK(AccordionEngine::outputFormatUsable(48000, 2));
    CHECK(AccordionEngine::outputFormatUsable(44100, 1));
    CHECK_FALSE(AccordionEngine::outputFormatUsable(0, 2));
    CHECK_FALSE(AccordionEngine::outputFormatUsable(-44100, 2));
    CHECK_FALSE(AccordionEngine::outputFormatUsable(notANumber, 2));
    CHECK_FALSE(AccordionEngine::outputFormatUsable(inf, 2));
    CHECK_FALSE(AccordionEngine::outputFormatUsable(48000, 0));
}

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
        CHECK(rig.output.askedRate == 48000);
        CHECK(rig.output.askedChannels == 2);
        CHECK(rig.output.pulling);
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
        CHECK_FALSE(rig.output.pulling);
        CHECK(rig.engine.params().targetPressure == 0.0f);
        CHECK(rig.engine.params().enabled == 0);
        CHECK(rig.engine.model() == AccordionModel());
        CHECK(rig.scheduler.timers.empty());
    }
}

TEST_CASE("the engine closes the output after two quiet seconds") {
    EngineRig rig;
    rig.engine.setEnabled(true, 0.6);
    rig.moveLid();
    REQUIRE(rig.engine.running());
    REQUIRE(rig.scheduler.timers.size() == 1);
    CHECK(rig.scheduler.interval == 0.5);

    SUBCASE("not while the lid keeps moving") {
        for (int i = 0; i < 10; ++i) {
            rig.clock += 0.5;
            rig.moveLid(0.1);
            rig.scheduler.tick();
        }
        CHECK(rig.engine.running());
    }
    SUBCASE("not before two seconds") {
        rig.holdLid(1.9);
        rig.scheduler.tick();
        CHECK(rig.engine.running());
        rig.holdLid(0.2);
        rig.scheduler.tick();
        CHECK_FALSE(rig.engine.running());
        CHECK(rig.output.closes == 1);
        CHECK(rig.scheduler.timers.empty());
    }
    SUBCASE("the next motion opens a fresh output") {
        rig.holdLid(2.5);
        rig.scheduler.tick();
        REQUIRE_FALSE(rig.engine.running());
        rig.moveLid();
        CHECK(rig.engine.running());
        CHECK(rig.output.opens == 2);
        CHECK(rig.scheduler.timers.size() == 1);
    }
}

TEST_CASE("a failing output is retried at most once a second") {
    EngineRig rig;
    rig.engine.setEnabled(true, 0.6);
    SUBCASE("when it cannot be opened") {
        rig.output.format.reset();
    }
    SUBCASE("when its format is unusable") {
        rig.output.format = AudioOutput::Format{0, 2, 512};
    }
    SUBCASE("when it has no channels") {
        rig.output.format = AudioOutput::Format{48000, 0, 512};
    }
    const bool opened = rig.output.format.has_value();
    rig.moveLid();
    CHECK_FALSE(rig.engine.running());
    CHECK(rig.output.opens == 1);
    CHECK(rig.output.closes == (opened ? 1 : 0));
    CHECK(rig.scheduler.timers.empty());
    rig.clock += 0.5;
    rig.moveLid();
    CHECK(rig.output.opens == 1);
    rig.output.format = AudioOutput::Format{48000, 2, 512};
    rig.clock += 0.5;
    rig.moveLid();
    CHECK(rig.engine.running());
    CHECK(rig.output.opens == 2);
    CHECK(rig.engine.startThrottle().allow(rig.clock));
}

TEST_CASE("an engine told not to start never opens the output") {
    EngineRig rig(false);
    rig.engine.setEnabled(true, 0.6);
    rig.engine.update(100, -80, 0);
    CHECK(rig.engine.params().targetPressure > 0.0f);
    rig.moveLid();
    CHECK_FALSE(rig.engine.running());
    CHECK(rig.output.opens == 0);
    rig.engine.setEnabled(false, 0.6);
    CHECK(rig.engine.params().targetPressure == 0.0f);
}

TEST_CASE("the engine's volume and lid inputs are sanitised") {
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
    rig.engine.update(notANumber, -80, 1);
    rig.engine.update(90, inf, 1);
    rig.engine.update(90, -80, notANumber);
    CHECK(rig.engine.params().targetPressure == 0.0f);
    CHECK_FALSE(rig.engine.running());
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
        std::vector<float> buffer(2 * 9000, -7.0f);
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
        std::vector<float> buffer(4 * 6000, -7.0f);
        AccordionEngine::RenderSource::render(wide.get(), buffer.data(), 6000);
        double front = 0, rear = 0;
        for (std::size_t i = 0; i < 6000; ++i) {
            front += std::abs(buffer[4 * i]);
            rear += std::abs(buffer[4 * i + 2]) + std::abs(buffer[4 * i + 3]);
        }
        CHECK(front > 1.0);
        CHECK(rear == 0.0);
        auto mono = AccordionEngine::makeSource({48000, 1, 512}, params);
        std::vector<float> one(6000, -7.0f);
        AccordionEngine::RenderSource::render(mono.get(), one.data(), 6000);
        CHECK(allFiniteWithin(one, 0.5));
        CHECK(rms(one, 3000, 6000) > 0.01);
    }
    SUBCASE("a source without a generator writes silence") {
        AccordionEngine::RenderSource source(params);
        std::vector<float> buffer(64, -7.0f);
        AccordionEngine::RenderSource::render(&source, buffer.data(), 64);
        CHECK(buffer == std::vector<float>(64, 0.0f));
    }
}
