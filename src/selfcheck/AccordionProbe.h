// SPDX-License-Identifier: MIT
// The accordion's generator driven by hand through its shared controls, with
// the measures its checks take of the sound; the self-check and the tests use it.
#pragma once

#include "accordion/AccordionDSP.h"
#include "accordion/AccordionParams.h"
#include "accordion/AccordionRender.h"
#include "selfcheck/SignalMeasures.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace orvane {

struct AccordionRig {
    static constexpr double rate = 48000.0;

    explicit AccordionRig(std::uint32_t seed = AccordionDSP::defaultSeed, bool humanises = true,
                          double sampleRate = rate)
        : dsp(sampleRate, seed, humanises) {
        params.enabled = 1;
        params.volume = 1.0f;
        dsp.setProbe(&stats);
    }
    AccordionRig(const AccordionRig&) = delete;
    AccordionRig& operator=(const AccordionRig&) = delete;

    static std::size_t frames(double seconds) { return static_cast<std::size_t>(seconds * rate); }

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
    AccordionProbeStats stats;
    std::vector<float> left, right;
};

// Energy in the upper harmonics of `notes` over the energy in their first two:
// noise between the harmonics does not count.
inline double brightness(const std::vector<float>& x, std::size_t begin, std::size_t end,
                         std::initializer_list<int> notes) {
    double high = 0, low = 0;
    for (const int note : notes) {
        const double f = AccordionDSP::midiToFreq(note);
        for (int n = 1; n <= 2; ++n) {
            low += tonePower(x, begin, end, n * f, AccordionRig::rate);
        }
        for (int n = 8; n <= 14; ++n) {
            high += tonePower(x, begin, end, n * f, AccordionRig::rate);
        }
    }
    return low > 0 ? high / low : 0.0;
}

// The push chord of zone 2 (F major) at full speed against a quarter of it:
// how much louder (RMS) and brighter the fast one sounds.
struct SpeedContrast {
    double louder = 0;
    double brighter = 0;
};

inline SpeedContrast speedContrast() {
    const std::size_t a = AccordionRig::frames(0.3), b = AccordionRig::frames(1.0);
    const RenderedAudio soft = AccordionRender::renderChord(2, -1, 0.25, 1.0, 1.0);
    const RenderedAudio hard = AccordionRender::renderChord(2, -1, 1.0, 1.0, 1.0);
    return {rms(hard.left, a, b) / rms(soft.left, a, b),
            brightness(hard.left, a, b, {53, 57, 60}) / brightness(soft.left, a, b, {53, 57, 60})};
}

// A bellows reversal while a chord plays: the RMS of the 40 ms after it over
// the same stretch of the chord played on.
inline double reversalAccent() {
    AccordionRig steady, reversed;
    for (AccordionRig* rig : {&steady, &reversed}) {
        rig->play(1, 1, 0.5f);
        rig->render(0.6);
    }
    const std::size_t at = steady.now();
    reversed.params.puffCounter = reversed.params.puffCounter + 1;
    steady.render(0.05);
    reversed.render(0.05);
    const std::size_t end = at + AccordionRig::frames(0.04);
    return rms(reversed.left, at, end) / rms(steady.left, at, end);
}

} // namespace orvane
