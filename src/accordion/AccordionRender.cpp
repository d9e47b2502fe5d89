// SPDX-License-Identifier: MIT
#include "accordion/AccordionRender.h"

#include "accordion/AccordionDSP.h"
#include "accordion/AccordionModel.h"
#include "accordion/AccordionParams.h"
#include "sensor/AngleFilter.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace orvane {

namespace {

constexpr int stepsPerSecond = 120;
constexpr int framesPerStep = 400;
constexpr int performanceSteps = 627;
constexpr std::size_t helloAttackFrames = 21600;
constexpr std::size_t helloReleaseFrames = 31200;
constexpr double helloPressure = 0.5;

// The script's phase boundaries, summed the way the performance was laid out.
constexpr double closeEnd = 1.3333333333333333;
constexpr double openStart = closeEnd + 1.0;
constexpr double wobbleStart = openStart + 0.8916666666666666 + 1.0;

double scriptedAngle(int step, double t) {
    if (step < 160) {
        return 120.0 - 60.0 * t;
    }
    if (step < 280) {
        return 40.0;
    }
    if (step < 387) {
        return 40.0 + 90.0 * (t - openStart);
    }
    if (step < 507) {
        return 120.0;
    }
    return 90.0 + 8.0 * std::sin(4.0 * std::numbers::pi * (t - wobbleStart));
}

RenderedAudio silence(std::size_t frames) {
    RenderedAudio audio;
    audio.left.assign(frames, 0.0f);
    audio.right.assign(frames, 0.0f);
    audio.sampleRate = AccordionRender::sampleRate;
    return audio;
}

void renderInto(AccordionDSP& dsp, RenderedAudio& audio, std::size_t offset, std::size_t frames,
                const AccordionParams& params) {
    // The render entry takes an int count; a long render goes in slices.
    constexpr std::size_t slice = 1 << 16;
    for (std::size_t done = 0; done < frames; done += slice) {
        const std::size_t n = std::min(slice, frames - done);
        dsp.render(static_cast<int>(n), audio.left.data() + offset + done,
                   audio.right.data() + offset + done, params);
    }
}

void setSteadyChord(AccordionParams& params, int zone, int direction, double pressure,
                    double volume) {
    params.enabled = 1;
    params.volume = clampedVolume(volume, 0.0f);
    params.zone = zone;
    params.direction = direction;
    params.targetPressure =
        std::isnan(pressure) ? 0.0f : static_cast<float>(std::clamp(pressure, 0.0, 1.0));
}

} // namespace

RenderedAudio AccordionRender::renderPerformance() {
    AngleFilter filter;
    AccordionModel model;
    AccordionParams params;
    params.enabled = 1;
    params.volume = 1.0f;
    AccordionDSP dsp(sampleRate);
    RenderedAudio audio = silence(performanceFrames);
    for (int i = 0; i < performanceSteps; ++i) {
        const double t = static_cast<double>(i) / stepsPerSecond;
        const FilteredSample sample = filter.ingest(scriptedAngle(i, t), t);
        model.update(sample.angle, sample.velocity, t, params);
        renderInto(dsp, audio, static_cast<std::size_t>(i) * framesPerStep, framesPerStep, params);
    }
    audio.restWindows = {{100000, 112000}, {190800, 202800}};
    return audio;
}

RenderedAudio AccordionRender::renderChord(int zone, int direction, double pressure, double seconds,
                                           double volume) {
    const double frames = seconds * sampleRate;
    // Anything that is not a sensible length renders nothing.
    const std::size_t count =
        frames >= 1.0 && frames < 1e9 ? static_cast<std::size_t>(frames) : std::size_t{0};
    AccordionParams params;
    setSteadyChord(params, zone, direction, pressure, volume);
    AccordionDSP dsp(sampleRate);
    RenderedAudio audio = silence(count);
    renderInto(dsp, audio, 0, count, params);
    return audio;
}

RenderedAudio AccordionRender::renderHelloChord(double volume) {
    AccordionParams params;
    setSteadyChord(params, 0, -1, helloPressure, volume);
    AccordionDSP dsp(sampleRate);
    RenderedAudio audio = silence(helloAttackFrames + helloReleaseFrames);
    renderInto(dsp, audio, 0, helloAttackFrames, params);
    params.targetPressure = 0.0f;
    renderInto(dsp, audio, helloAttackFrames, helloReleaseFrames, params);
    return audio;
}

std::optional<std::vector<std::uint8_t>> AccordionRender::encodeWAV(const RenderedAudio& audio) {
    const double rate = std::isfinite(audio.sampleRate) && audio.sampleRate > 0
                            ? std::round(audio.sampleRate)
                            : sampleRate;
    if (rate > static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
        return std::nullopt;
    }
    return Wav::encodeStereo16(audio.left.data(), audio.right.data(), audio.frameCount(),
                               static_cast<std::uint32_t>(rate));
}

} // namespace orvane
