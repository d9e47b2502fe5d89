// SPDX-License-Identifier: MIT
#include "sound/ClearClick.h"

#include "core/Xorshift.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane::ClearClick {

namespace {

constexpr double attackTime = 0.003;
constexpr double decayTime = 0.01125;
constexpr double toneOmega = 10053.096491487338; // 2 pi x 1600 Hz
constexpr std::size_t noiseSamples = 264;
constexpr std::uint32_t noiseSeed = 439041101;
constexpr double noiseLowCoefficient = 0.13279150921095517; // 1000 Hz at 44.1 kHz
constexpr double noiseHighCoefficient = 0.4344199454321238; // 4000 Hz at 44.1 kHz
constexpr double noiseLevel = 0.2;
constexpr double peakLevel = 0.7;
// Guards the allocation against a nonsense rate; no device runs this fast.
constexpr double maxPlaybackRate = 768000.0;

constexpr std::size_t roundedUp(double x) {
    const auto whole = static_cast<std::size_t>(x);
    return static_cast<double>(whole) < x ? whole + 1 : whole;
}
static_assert(sampleCount == roundedUp(sampleRate * duration));

std::vector<float> synthesise() {
    std::vector<double> click(sampleCount);
    for (std::size_t n = 0; n < sampleCount; ++n) {
        const double t = static_cast<double>(n) / sampleRate;
        const double envelope =
            t < attackTime ? t / attackTime : std::exp(-(t - attackTime) / decayTime);
        click[n] = std::sin(toneOmega * t) * envelope;
    }

    // A band-passed noise burst gives the tone a mechanical edge.
    Xorshift32 noise(noiseSeed);
    double low = 0;
    double high = 0;
    for (std::size_t n = 0; n < noiseSamples; ++n) {
        const double w = noise.signedNoise();
        low += (w - low) * noiseLowCoefficient;
        high += (w - high) * noiseHighCoefficient;
        const double window =
            std::sin(std::numbers::pi * static_cast<double>(n) / static_cast<double>(noiseSamples));
        click[n] += (high - low) * noiseLevel * window;
    }

    double peak = 0;
    for (const double s : click) {
        peak = std::max(peak, std::abs(s));
    }
    const double gain = peak > 0 ? peakLevel / peak : 1.0;
    std::vector<float> out(sampleCount);
    std::transform(click.begin(), click.end(), out.begin(),
                   [gain](double s) { return static_cast<float>(s * gain); });
    return out;
}

const std::vector<float>& canonical() {
    static const std::vector<float> click = synthesise();
    return click;
}

} // namespace

std::vector<float> samples() {
    return canonical();
}

std::optional<AudioBuffer> makeBuffer() {
    return AudioBuffer{.sampleRate = sampleRate, .channels = {canonical()}};
}

std::optional<AudioBuffer> playbackBuffer(double rate) {
    if (!std::isfinite(rate) || rate <= 0 || rate > maxPlaybackRate) {
        return std::nullopt;
    }
    const double ratio = rate / sampleRate;
    const auto frames = static_cast<std::size_t>(ratio * static_cast<double>(sampleCount));
    if (frames == 0) {
        return std::nullopt;
    }
    const std::vector<float>& click = canonical();
    constexpr std::size_t last = sampleCount - 1;
    std::vector<float> resampled(frames);
    for (std::size_t k = 0; k < frames; ++k) {
        const double s = static_cast<double>(k) / ratio;
        const std::size_t i0 = std::min(static_cast<std::size_t>(s), last);
        const std::size_t i1 = std::min(i0 + 1, last);
        const double f = s - static_cast<double>(i0);
        resampled[k] = static_cast<float>(click[i0] * (1.0 - f) + click[i1] * f);
    }
    return AudioBuffer{.sampleRate = rate, .channels = {resampled, resampled}};
}

} // namespace orvane::ClearClick
