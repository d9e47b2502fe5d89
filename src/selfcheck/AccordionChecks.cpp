// SPDX-License-Identifier: MIT
// The accordion: the model's zones, bellows and shake; the engine's guard and
// start throttle; the voices as heard through measures of the rendered sound;
// the offline renders; and the render's cost against real time.
#include "accordion/AccordionEngine.h"
#include "accordion/AccordionModel.h"
#include "accordion/AccordionRender.h"
#include "core/Tuning.h"
#include "doubles/EffectDoubles.h"
#include "selfcheck/AccordionProbe.h"
#include "selfcheck/ComponentChecks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
// The samples' ceiling, and the performance's.
constexpr double outputCeiling = 0.5;
constexpr double performanceCeiling = 0.95;
// Quiet enough to count as silence, and the largest jump that is no click.
constexpr double silence = 1e-4;
constexpr double clickStep = 0.06;

std::size_t frames(double seconds) {
    return AccordionRig::frames(seconds);
}

std::string num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

// A lid moving at a constant speed, sampled 60 times a second.
struct Lid {
    static constexpr double rate = 60;
    void move(double speed, double seconds) {
        const int steps = static_cast<int>(std::round(seconds * rate));
        for (int i = 0; i < steps; ++i) {
            t += 1.0 / rate;
            angle += speed / rate;
            model.update(angle, speed, t, params);
        }
    }
    AccordionModel model;
    AccordionParams params;
    double angle = 100;
    double t = 0;
};

void zones(Reporter& report) {
    const auto& edges = Tuning::accordionZoneEdges;
    const double hold = Tuning::accordionZoneHysteresis;
    // Leaving the wide-open zone and coming back to it.
    const auto stays0 = AccordionModel::zoneForAngle(edges[0] - hold, 0);
    const auto leaves0 = AccordionModel::zoneForAngle(edges[0] - hold - 0.1, 0);
    const auto stays1 = AccordionModel::zoneForAngle(edges[0] + hold, 1);
    const auto back0 = AccordionModel::zoneForAngle(edges[0] + hold + 0.1, 1);
    report.check(stays0 == 0 && leaves0 == 1 && stays1 == 1 && back0 == 0,
                 "accordion_zone_hysteresis",
                 "zones " + std::to_string(stays0) + ", " + std::to_string(leaves0) + ", " +
                     std::to_string(stays1) + ", " + std::to_string(back0) + ", want 0, 1, 1, 0");

    std::string wrong;
    std::int64_t above = 0;
    for (const double edge : edges) {
        if (AccordionModel::rawZone(edge) != above ||
            AccordionModel::rawZone(edge - 0.1) != above + 1) {
            wrong += num(edge) + " ";
        }
        ++above;
    }
    if (AccordionModel::rawZone(10) != AccordionModel::zoneCount - 1) {
        wrong += "10 ";
    }
    report.check(wrong.empty(), "accordion_first_placement", "wrong zone around " + wrong);

    int worst = 0;
    for (const double edge : edges) {
        AccordionModel model;
        AccordionParams params;
        model.update(edge + 1, 0, 0, params);
        int changes = 0;
        std::int64_t zone = model.zone;
        for (int i = 1; i <= 200; ++i) {
            model.update(edge + (i % 2 == 0 ? 1 : -1), 0, i / Lid::rate, params);
            changes += model.zone != zone ? 1 : 0;
            zone = model.zone;
        }
        worst = std::max(worst, changes);
    }
    report.check(worst <= 1, "accordion_dither_one_change",
                 std::to_string(worst) + " zone changes dithering a degree around an edge");
}

void bellows(Reporter& report) {
    Lid jitter;
    for (int i = 0; i < 120; ++i) {
        const double v = (i % 2 == 0 ? 1 : -1) * Tuning::stillVelocity * 2;
        jitter.t += 1.0 / Lid::rate;
        jitter.model.update(jitter.angle + (i % 2 == 0 ? 0.02 : -0.02), v, jitter.t, jitter.params);
    }
    report.check(jitter.model.direction == 0 && jitter.params.puffCounter == 0,
                 "accordion_rest_jitter_no_direction",
                 "direction " + std::to_string(jitter.model.direction) + ", puffs " +
                     std::to_string(jitter.params.puffCounter.load()));

    Lid closing, opening;
    closing.move(-80, 0.2);
    opening.move(80, 0.2);
    report.check(closing.params.direction == -1 && opening.params.direction == 1,
                 "accordion_push_and_pull",
                 "closing " + std::to_string(closing.params.direction.load()) + ", opening " +
                     std::to_string(opening.params.direction.load()));

    Lid once;
    once.move(-80, 0.3);
    once.move(80, 0.3);
    const float afterOne = once.params.tremolo;
    Lid shaking;
    for (int i = 0; i < 4; ++i) {
        shaking.move(-80, 0.1);
        shaking.move(80, 0.1);
    }
    const float shaken = shaking.params.tremolo;
    shaking.move(80, 1.0);
    const float calmed = shaking.params.tremolo;
    report.check(afterOne == 0.0f && shaken > 0.0f && calmed == 0.0f, "accordion_shake_tremolo",
                 "tremolo after one reversal " + num(afterOne) + ", quick reversals " +
                     num(shaken) + ", a second later " + num(calmed));

    // With no earlier sample, only the reported speed counts.
    AccordionModel first;
    AccordionParams params;
    constexpr double speed = 45;
    first.update(100, -speed, 0, params);
    const double want = (speed - Tuning::stillVelocity) / Tuning::accordionFullSpeed;
    report.check(std::abs(params.targetPressure - want) < 1e-6, "accordion_first_update",
                 "pressure " + num(params.targetPressure) + ", want " + num(want));
}

struct SilentOutput final : AudioOutput {
    int opens = 0;
    std::optional<Format> open(Render, void*, int, int, std::string*) override {
        ++opens;
        return std::nullopt;
    }
    void setRunning(bool) override {}
    void close() override {}
    bool isOpen() const override { return false; }
};

void engine(Reporter& report) {
    const bool usable = AccordionEngine::outputFormatUsable(AccordionRig::rate, 2);
    bool rejected = true;
    for (const auto& [rate, channels] : std::array<std::pair<double, double>, 5>{
             {{0, 2}, {-44100, 2}, {notANumber, 2}, {inf, 2}, {AccordionRig::rate, 0}}}) {
        rejected = rejected && !AccordionEngine::outputFormatUsable(rate, channels);
    }
    report.check(usable && rejected, "accordion_output_format",
                 usable ? "an unusable format was accepted" : "48 kHz stereo was rejected");

    AudioStartThrottle throttle;
    const bool fresh = throttle.allow(0);
    constexpr double failedAt = 10;
    throttle.failed(failedAt);
    const bool early = throttle.allow(failedAt + Tuning::audioEngineRetryInterval / 2);
    const bool later = throttle.allow(failedAt + Tuning::audioEngineRetryInterval);
    throttle.failed(failedAt);
    throttle.reset();
    const bool afterReset = throttle.allow(failedAt);
    report.check(fresh && !early && later && afterReset, "accordion_start_throttle",
                 std::string("fresh ") + (fresh ? "allows" : "refuses") + ", half way " +
                     (early ? "allows" : "refuses") + ", after the interval " +
                     (later ? "allows" : "refuses") + ", after a reset " +
                     (afterReset ? "allows" : "refuses"));

    SilentOutput output;
    ManualScheduler scheduler;
    AccordionEngine guarded({output, scheduler, scheduler.clock(), false});
    guarded.setEnabled(true, Tuning::accordionVolumeDefault);
    guarded.update(100, -80, 0);
    const float pressed = guarded.params().targetPressure;
    guarded.update(98, -80, 0.025);
    const bool ran = guarded.running() || output.opens > 0;
    guarded.setEnabled(false, Tuning::accordionVolumeDefault);
    const float released = guarded.params().targetPressure;
    report.check(pressed > 0 && !ran && released == 0.0f, "accordion_engine_guard",
                 "pressure " + num(pressed) + (ran ? ", the output was opened" : "") +
                     ", after switching off " + num(released));
}

void renders(Reporter& report) {
    const RenderedAudio audio = AccordionRender::renderPerformance();
    const float loudest = std::max(peak(audio.left), peak(audio.right));
    report.check(allFiniteWithin(audio.left, performanceCeiling) &&
                     allFiniteWithin(audio.right, performanceCeiling),
                 "accordion_performance_bounded",
                 "peak " + num(loudest) + ", limit " + num(performanceCeiling));
    double loudestRest = 0;
    for (const FrameRange& rest : audio.restWindows) {
        const std::size_t end = std::min(rest.end, audio.frameCount());
        loudestRest = std::max(
            {loudestRest, rms(audio.left, rest.begin, end), rms(audio.right, rest.begin, end)});
    }
    report.check(!audio.restWindows.empty() && loudestRest < silence, "accordion_performance_rests",
                 "rest RMS " + num(loudestRest) + ", limit " + num(silence));

    const auto wav = AccordionRender::encodeWAV(audio);
    const auto word = [&](std::size_t at) {
        return static_cast<std::uint32_t>((*wav)[at]) |
               static_cast<std::uint32_t>((*wav)[at + 1]) << 8 |
               static_cast<std::uint32_t>((*wav)[at + 2]) << 16 |
               static_cast<std::uint32_t>((*wav)[at + 3]) << 24;
    };
    // 16-bit stereo: four bytes a frame, after a 44-byte header.
    const std::uint64_t data = 4 * audio.frameCount();
    const bool wavOk = wav && wav->size() == data + 44 && word(4) == data + 36 &&
                       word(40) == data && audio.frameCount() == AccordionRender::performanceFrames;
    report.check(wavOk, "accordion_wav_sizes",
                 wav ? "RIFF " + std::to_string(word(4)) + ", data " + std::to_string(word(40)) +
                           " for " + std::to_string(audio.frameCount()) + " frames"
                     : "not encoded");

    const RenderedAudio hello = AccordionRender::renderHelloChord(Tuning::accordionVolumeDefault);
    const std::size_t end = hello.frameCount();
    const double loud = peak(hello.left);
    const double tail = end > frames(0.1) ? rms(hello.left, end - frames(0.1), end) : 1.0;
    report.check(loud > 0.05 && tail < 1e-3, "accordion_hello_chord",
                 "peak " + num(loud) + ", tail RMS " + num(tail));
}

void voices(Reporter& report) {
    const std::size_t from = frames(0.4), to = frames(1.2);
    const double e4 = AccordionDSP::midiToFreq(64), f4 = AccordionDSP::midiToFreq(65);
    const auto power = [&](const RenderedAudio& a, double hz) {
        return tonePower(a.left, from, to, hz, AccordionRig::rate);
    };
    const RenderedAudio push = AccordionRender::renderChord(0, -1, 0.8, 1.2, 1.0);
    const RenderedAudio pull = AccordionRender::renderChord(0, 1, 0.8, 1.2, 1.0);
    const double pushRatio = power(push, e4) / power(push, f4);
    const double pullRatio = power(pull, f4) / power(pull, e4);
    report.check(pushRatio > 4 && pullRatio > 4, "accordion2_chord_notes",
                 "push E4/F4 " + num(pushRatio) + ", pull F4/E4 " + num(pullRatio) + ", want > 4");

    std::string over;
    for (const double volume : {0.0, 0.5, 1.0}) {
        const RenderedAudio a = AccordionRender::renderChord(5, -1, 1.0, 0.5, volume);
        if (!allFiniteWithin(a.left, outputCeiling) || !allFiniteWithin(a.right, outputCeiling)) {
            over += "volume " + num(volume) + " peak " + num(peak(a.left)) + " ";
        }
    }
    report.check(over.empty(), "accordion2_output_ceiling", over + "limit 0.5");

    const SpeedContrast contrast = speedContrast();
    report.check(contrast.louder > 1.5 && contrast.brighter > 2, "accordion2_louder_brighter",
                 "RMS x" + num(contrast.louder) + " (want > 1.5), brightness x" +
                     num(contrast.brighter) + " (want > 2)");

    const double accent = reversalAccent();
    report.check(accent > 1.3, "accordion2_reversal_puff",
                 "puff window RMS x" + num(accent) + ", want > 1.3");
}

void tremolo(Reporter& report) {
    AccordionRig rig;
    rig.play(3, 1, 0.7f);
    rig.params.tremolo = 1.0f;
    rig.render(1.3);
    const int crossings =
        levelMeanCrossings(rig.left, frames(0.4), frames(1.3), frames(0.03), frames(0.0025));
    // Two crossings a cycle over 0.9 s.
    const double want = 2 * Tuning::accordionTremoloRate * 0.9;
    report.check(std::abs(crossings - want) <= 2, "accordion2_tremolo_rate",
                 std::to_string(crossings) + " mean crossings in 0.9 s, want about " + num(want));
}

void changes(Reporter& report) {
    // Each scenario starts from a steady chord; none may click or rewrite a sounding bank.
    const std::array<std::pair<const char*, void (*)(AccordionRig&)>, 4> scenarios{{
        {"release",
         [](AccordionRig& rig) {
             rig.params.targetPressure = 0.0f;
             rig.render(0.8);
         }},
        {"pairs of chord changes",
         [](AccordionRig& rig) {
             for (int i = 0; i < 6; ++i) {
                 rig.play(i % 6, i % 2 == 0 ? 1 : -1, 0.9f);
                 rig.render(0.005);
                 rig.play((i + 2) % 6, i % 2 == 0 ? -1 : 1, 0.9f);
                 rig.render(0.15);
             }
         }},
        {"three quick chord changes",
         [](AccordionRig& rig) {
             for (const int zone : {1, 2, 3}) {
                 rig.play(zone, -1, 0.9f);
                 rig.render(0.004);
             }
             rig.render(0.3);
         }},
        {"a change with no silent bank free",
         [](AccordionRig& rig) {
             // The third change finds both other banks still sounding and must wait.
             for (const auto& [zone, seconds] : {std::pair{2, 0.01}, {4, 0.005}, {1, 0.3}}) {
                 rig.play(zone, -1, 0.9f);
                 rig.render(seconds);
             }
         }},
    }};
    std::string clicks;
    double restRms = 1;
    for (const auto& [name, scenario] : scenarios) {
        AccordionRig rig;
        rig.play(0, -1, 0.9f);
        rig.render(0.5);
        const std::size_t stop = rig.now();
        scenario(rig);
        if (std::string(name) == "release") {
            restRms = std::max(rms(rig.left, stop + frames(0.7), rig.now()),
                               rms(rig.right, stop + frames(0.7), rig.now()));
        }
        const double step = std::max(largestStep(rig.left), largestStep(rig.right));
        if (step >= clickStep || rig.stats.soundingRewrites != 0) {
            clicks += std::string(name) + ": step " + num(step) + ", rewrites " +
                      std::to_string(rig.stats.soundingRewrites) + "; ";
        }
    }
    report.check(restRms < silence, "accordion2_release_silence",
                 "RMS " + num(restRms) + " 0.7 s after the lid stopped, limit " + num(silence));
    report.check(clicks.empty(), "accordion2_no_clicks", clicks + "step limit 0.06");
}

void stabAndSpread(Reporter& report) {
    AccordionRig rig;
    rig.play(0, -1, 0.6f);
    rig.render(1.0);
    rig.play(1, -1, 0.6f);
    const std::size_t change = rig.now();
    rig.render(2.0);
    // The A minor chord's C and E one octave down; the bass plays neither.
    const auto stabBand = [&](std::size_t from) {
        const std::size_t to = from + frames(0.3);
        return tonePower(rig.left, from, to, AccordionDSP::midiToFreq(48), AccordionRig::rate) +
               tonePower(rig.left, from, to, AccordionDSP::midiToFreq(52), AccordionRig::rate);
    };
    const double stab = stabBand(change + frames(0.15));
    const double settled = stabBand(change + frames(1.5));
    report.check(stab > 2.5 * settled && stab > 3e-6, "accordion2_zone_change_stab",
                 "stab band " + num(stab) + ", steady " + num(settled));

    AccordionRig cold;
    const double before = cold.stats.reedPhaseSpread;
    cold.play(2, 1, 0.5f);
    cold.render(0.01);
    report.check(before == 0 && cold.stats.reedPhaseSpread > 0.15, "accordion2_reed_phase_spread",
                 "spread " + num(cold.stats.reedPhaseSpread) + " after a cold load, want > 0.15");
}

void seeds(Reporter& report) {
    const auto output = [](std::uint32_t seed, bool humanises) {
        AccordionRig rig(seed, humanises);
        rig.play(4, -1, 0.7f);
        rig.render(0.3);
        rig.play(2, 1, 0.7f);
        rig.render(0.3);
        return rig.left;
    };
    const bool plainSame = output(7, false) == output(99, false);
    const bool repeats = output(7, true) == output(7, true);
    const bool differs = output(7, true) != output(99, true);
    report.check(plainSame && repeats && differs, "accordion2_seed_determinism",
                 std::string("unhumanised seeds ") + (plainSame ? "agree" : "differ") +
                     ", a seed " + (repeats ? "repeats" : "does not repeat") + ", two seeds " +
                     (differs ? "differ" : "agree"));

    const double rate = AccordionRig::rate;
    const bool flush = AccordionDSP::flushTiny(1e-19) == 0 &&
                       AccordionDSP::flushTiny(-1e-19) == 0 &&
                       AccordionDSP::flushTiny(1e-17) == 1e-17;
    const bool cutoff = AccordionDSP::clampedCutoff(1, rate) == 20 &&
                        AccordionDSP::clampedCutoff(rate, rate) == 0.45 * rate &&
                        AccordionDSP::clampedCutoff(1000, rate) == 1000;
    report.check(flush && cutoff, "accordion2_flush_and_cutoff",
                 std::string(flush ? "" : "flushTiny wrong ") + (cutoff ? "" : "cut-off wrong"));
}

} // namespace

void accordionChecks(Reporter& report) {
    const std::array<void (*)(Reporter&), 9> checks{
        zones, bellows, engine, renders, voices, tremolo, changes, stabAndSpread, seeds};
    for (const auto check : checks) {
        report.guarded("accordion_", [&] { check(report); });
    }
}

void accordionBudgetChecks(Reporter& report, const std::function<double()>& cpuSeconds) {
    report.guarded("accordion2_", [&] {
        // One second of a sounding chord with a reversal, then two seconds with
        // a chord change every 10 ms.
        AccordionRig steady;
        steady.play(0, -1, 0.8f);
        double start = cpuSeconds();
        steady.render(0.5);
        steady.params.puffCounter = 1;
        steady.render(0.5);
        const double second = (cpuSeconds() - start) * 1000;
        report.check(second < 100, "accordion2_realtime_budget",
                     "1 s of audio took " + num(second) + " ms CPU, limit 100");

        AccordionRig busy;
        start = cpuSeconds();
        for (int i = 0; i < 200; ++i) {
            busy.play(i % 6, i % 3 == 0 ? -1 : 1, 0.3f + 0.003f * static_cast<float>(i));
            busy.render(0.01);
        }
        const double changing = (cpuSeconds() - start) * 1000;
        report.check(changing < 200 && allFiniteWithin(busy.left, outputCeiling),
                     "accordion2_chord_change_budget",
                     "2 s with 200 chord changes took " + num(changing) + " ms CPU, limit 200");
    });
}

} // namespace orvane
