// SPDX-License-Identifier: MIT
// The accordion's sound: the generator driven by hand through its shared
// controls, and the offline renders built on it.
#include "accordion/AccordionRender.h"
#include "selfcheck/AccordionProbe.h"

#include <doctest/doctest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

using namespace orvane;

namespace {

using Rig = AccordionRig;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double rate = AccordionRig::rate;

std::size_t frames(double seconds) {
    return AccordionRig::frames(seconds);
}

double tonePower(const std::vector<float>& x, std::size_t begin, std::size_t end, double hz) {
    return orvane::tonePower(x, begin, end, hz, rate);
}

// The performance is the slowest thing here; render it once.
const RenderedAudio& performance() {
    static const RenderedAudio audio = AccordionRender::renderPerformance();
    return audio;
}

} // namespace

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
        std::vector<float> none(4, 9.0f);
        rig.dsp.render(0, none.data(), none.data(), rig.params);
        CHECK(none == std::vector<float>(4, 9.0f));
    }
    SUBCASE("at any device rate, even one below the filters' cut-offs") {
        for (const double deviceRate : {8000.0, 11025.0, notANumber, -44100.0}) {
            CAPTURE(deviceRate);
            Rig rig(AccordionDSP::defaultSeed, true, deviceRate);
            rig.play(0, -1, 1.0f);
            rig.render(0.5);
            CHECK(allFiniteWithin(rig.left, 0.5));
            CHECK(rms(rig.left, 0, rig.now()) > 0.01);
        }
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

TEST_CASE("a reversal puffs") {
    SUBCASE("at rest, as a short burst of air") {
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
}

TEST_CASE("the bellows shake is a tremolo at 8.5 Hz") {
    Rig rig;
    rig.play(3, 1, 0.7f);
    rig.params.tremolo = 1.0f;
    rig.render(1.3);
    const int crossings =
        levelMeanCrossings(rig.left, frames(0.4), frames(1.3), frames(0.03), frames(0.0025));
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

TEST_CASE("the sound changes and dies away without a click") {
    Rig rig;
    rig.play(0, -1, 0.9f);
    rig.render(0.5);
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
    SUBCASE("across a chord change every 10 ms for two seconds") {
        for (int i = 0; i < 200; ++i) {
            rig.play(i % 6, i % 3 == 0 ? -1 : 1, 0.3f + 0.003f * static_cast<float>(i));
            rig.render(0.01);
        }
        CHECK(allFiniteWithin(rig.left, 0.5));
        CHECK(allFiniteWithin(rig.right, 0.5));
    }
    CHECK(largestStep(rig.left) < 0.06);
    CHECK(largestStep(rig.right) < 0.06);
    CHECK(rig.stats.soundingRewrites == 0);
}

TEST_CASE("a zone change brings the oompah stab an octave below") {
    Rig rig;
    rig.play(0, -1, 0.6f);
    rig.render(1.0);
    rig.play(1, -1, 0.6f);
    const std::size_t change = rig.now();
    rig.render(2.0);
    // The A minor chord's C and E one octave down; the bass plays neither.
    const auto stabBand = [](const Rig& r, std::size_t from) {
        const std::size_t to = from + frames(0.3);
        return tonePower(r.left, from, to, AccordionDSP::midiToFreq(48)) +
               tonePower(r.left, from, to, AccordionDSP::midiToFreq(52));
    };
    const double stab = stabBand(rig, change + frames(0.15));
    CHECK(stab > 2.5 * stabBand(rig, change + frames(1.5)));
    CHECK(stab > 3e-6);

    SUBCASE("a change of direction alone brings no stab") {
        Rig turn;
        turn.play(1, 1, 0.6f);
        turn.render(1.5);
        turn.play(1, -1, 0.6f);
        const std::size_t at = turn.now();
        turn.render(0.6);
        CHECK(stabBand(turn, at + frames(0.15)) < stab / 2.5);
    }
}

TEST_CASE("humanisation spreads the reeds and follows the seed") {
    const auto output = [](std::uint32_t seed, bool humanises) {
        Rig rig(seed, humanises);
        rig.play(4, -1, 0.7f);
        rig.render(0.3);
        rig.play(2, 1, 0.7f);
        rig.render(0.3);
        return rig.left;
    };
    SUBCASE("with humanisation a seed repeats and another one differs") {
        CHECK(output(7, true) == output(7, true));
        CHECK(output(7, true) != output(99, true));
        CHECK(output(0, true) == output(AccordionDSP::defaultSeed, true));
    }
}

TEST_CASE("the scripted performance") {
    const RenderedAudio& audio = performance();
    CHECK(audio.sampleRate == rate);
    CHECK(allFiniteWithin(audio.left, 0.95));
    CHECK(allFiniteWithin(audio.right, 0.95));

    SUBCASE("is quiet inside every rest window") {
        REQUIRE_FALSE(audio.restWindows.empty());
        for (const FrameRange& rest : audio.restWindows) {
            CHECK(rest.end <= audio.frameCount());
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

TEST_CASE("the hello chord swells and dies away") {
    const RenderedAudio hello = AccordionRender::renderHelloChord(0.6);
    const std::size_t end = hello.frameCount();
    REQUIRE(end > frames(1.0));
    CHECK(peak(hello.left) > 0.05f);
    CHECK(rms(hello.left, end - frames(0.1), end) < 1e-3);
    CHECK(rms(hello.left, frames(0.2), frames(0.45)) > 50 * rms(hello.left, frames(1.0), end));
    const RenderedAudio quiet = AccordionRender::renderHelloChord(-2);
    CHECK(rms(quiet.left, 0, quiet.frameCount()) == 0.0);
}
