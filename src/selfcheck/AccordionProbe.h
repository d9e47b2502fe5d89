// SPDX-License-Identifier: MIT
// The accordion's generator driven by hand through its shared controls, with
// the measures its checks take of the sound; the self-check and the tests use it.
#pragma once

#include "accordion/AccordionDSP.h"
#include "accordion/AccordionParams.h"
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

} // namespace orvane
