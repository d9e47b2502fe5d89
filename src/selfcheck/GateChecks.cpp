// SPDX-License-Identifier: MIT
// The motion gate driven by synthetic lid motion: when it arms, folds,
// settles, parks, clears and clicks.
#include "selfcheck/CheckText.h"
#include "selfcheck/GateTrace.h"
#include "selfcheck/MotionChecks.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace orvane {

namespace {

using CheckText::measured;
using CheckText::number;
using enum GateState;

constexpr double clearAngle = Tuning::defaultClearAngle;
constexpr double openAngle = 115;  // a lid at rest above the arming reach of the fold
constexpr double foldedAngle = 60; // where the closes stop
constexpr double closeSpeed = 60;  // deg/s
constexpr double creepSpeed = 8;   // deg/s, just above the arming speed
constexpr double restBefore = 0.3; // s at rest before a move
constexpr double restAfter = 2;    // s at rest after a close
constexpr double reopenRest = 2.5; // s at rest after a reopen
constexpr double ditherAmplitude = 1.0;

std::string path(const std::vector<GateState>& states) {
    std::string text;
    for (GateState state : states) {
        text += (text.empty() ? "" : " > ") + std::string(rawValue(state));
    }
    return text;
}

// The ordinary close: at rest, then closing at 60 deg/s to 60 deg and resting there.
void closeTo60(GateTrace& trace) {
    trace.hold(openAngle, restBefore);
    trace.ramp(openAngle, foldedAngle, closeSpeed);
    trace.hold(foldedAngle, restAfter);
}

bool idleOutput(const GateOutput& out) {
    return !out.wantsCapture && !out.overlayVisible && out.opacity == 0 && !out.frozen &&
           out.sensorRate == SensorRate::idle && out.events.empty();
}

void armingChecks(Reporter& r) {
    constexpr double jitterSeconds = 5;
    GateTrace still;
    still.holdJitter(openAngle, jitterSeconds);
    r.check(!still.sawCapture, "gate_trace_a_jitter_no_capture",
            "a lid held at 115 deg with jitter asked for capture: " + path(still.visited));

    GateTrace creep;
    creep.hold(openAngle, restBefore);
    creep.ramp(openAngle, 90, creepSpeed);
    creep.hold(90, restBefore);
    const bool folded = !creep.foldingEntries.empty();
    const double foldAt = folded ? creep.foldingEntries.front().second : 0;
    r.check(creep.wasIn(arming) && folded && foldAt < clearAngle + Tuning::fadeBand,
            "gate_trace_a_creep_arms_and_folds",
            folded ? measured("folded at", foldAt, ">=", clearAngle + Tuning::fadeBand, " deg")
                   : "a lid creeping at 8 deg/s never folded: " + path(creep.visited));
}

void closeChecks(Reporter& r) {
    GateTrace trace;
    closeTo60(trace);
    const std::vector expected{idle, arming, folding, settling, clearing, idle};
    r.check(trace.visited == expected && trace.clicks == 0 && !trace.lastOutput->wantsCapture,
            "gate_trace_b_close_clears",
            path(trace.visited) + ", " + std::to_string(trace.clicks) + " clicks, capture " +
                (trace.lastOutput->wantsCapture ? "on" : "off"));

    trace.ramp(foldedAngle, 120, closeSpeed);
    trace.hold(120, reopenRest);
    r.check(trace.clicks == 1 && trace.state() == idle, "gate_trace_d_reopen_one_click",
            std::to_string(trace.clicks) + " clicks on reopening, ending " +
                std::string(rawValue(trace.state())));

    GateTrace cover;
    cover.settings.coverMode = CoverMode::veil;
    closeTo60(cover);
    const GateOutput parked = *cover.lastOutput;
    r.check(cover.state() == GateState::cover && !parked.wantsCapture && parked.frozen &&
                parked.overlayVisible && parked.sensorRate == SensorRate::idle,
            "gate_trace_c_cover_parks",
            path(cover.visited) + (parked.wantsCapture ? ", capture on" : "") +
                (parked.frozen ? "" : ", not frozen") + (parked.overlayVisible ? "" : ", hidden") +
                (parked.sensorRate == SensorRate::idle ? "" : ", fast sensor"));

    cover.settings.coverMode = CoverMode::off;
    cover.step(foldedAngle);
    const bool clearingNext = cover.state() == clearing;
    const double clearedFrom = cover.time - cover.dt;
    while (cover.state() == clearing && cover.time - clearedFrom < 1) {
        cover.step(foldedAngle);
    }
    const double cleared = cover.time - cover.dt - clearedFrom;
    r.check(clearingNext && cover.state() == idle && cleared >= Tuning::clearDuration &&
                cleared < Tuning::clearDuration + cover.dt,
            "gate_trace_c_cover_off_clears",
            clearingNext ? measured("idle after", cleared, "not", Tuning::clearDuration, " s")
                         : "the cover switched off went " + std::string(rawValue(cover.state())));
}

void limitChecks(Reporter& r) {
    constexpr double shutAngle = 10;
    constexpr double sleepSeen = 15; // the gate must let go before the lid gets here
    GateTrace shut;
    shut.hold(openAngle, restBefore);
    shut.ramp(openAngle, shutAngle, closeSpeed);
    const double letGo = shut.idleEntries.empty() ? 0 : shut.idleEntries.back();
    r.check(shut.wasIn(folding) && shut.state() == idle && letGo > sleepSeen,
            "gate_trace_e_sleep_angle",
            measured("went idle at", letGo, "<=", sleepSeen, " deg") + ", " + path(shut.visited));

    constexpr double armHold = 3;
    GateTrace starved;
    starved.deliverFrames = false;
    starved.hold(openAngle, restBefore);
    starved.ramp(openAngle, clearAngle, closeSpeed);
    starved.hold(clearAngle, armHold);
    r.check(starved.maxArmingDuration > 0 &&
                starved.maxArmingDuration <= Tuning::armTimeout + starved.dt &&
                starved.state() == idle && !starved.lastOutput->wantsCapture,
            "gate_trace_f_arm_timeout",
            measured("armed for", starved.maxArmingDuration, ">", Tuning::armTimeout, " s") +
                ", ending " + std::string(rawValue(starved.state())));

    GateTrace blocked;
    blocked.blocked = true;
    int shown = 0;
    int steps = 0;
    const auto run = [&](double from, double to, double seconds) {
        for (double start = blocked.time; blocked.time - start < seconds; ++steps) {
            const double into = (blocked.time - start) / seconds;
            shown += idleOutput(blocked.step(from + (to - from) * into)) ? 0 : 1;
        }
    };
    run(openAngle, foldedAngle, 1);
    run(foldedAngle, foldedAngle, 1);
    run(foldedAngle, 120, 1);
    r.check(shown == 0 && blocked.visited.size() == 1, "gate_trace_g_blocked_idle",
            std::to_string(shown) + " of " + std::to_string(steps) +
                " blocked steps were not the idle output");
}

void previewAndRestChecks(Reporter& r) {
    GateTrace preview;
    for (double angle : {foldedAngle, 120.0, foldedAngle, 120.0}) {
        preview.settings.previewAngle = angle;
        preview.ramp(openAngle, 95, closeSpeed);
        preview.ramp(95, openAngle, closeSpeed);
    }
    preview.settings.previewAngle.reset();
    preview.hold(openAngle, 1);
    r.check(preview.clicks == 0 && !preview.lastOutput->overlayVisible, "gate_trace_h_preview",
            std::to_string(preview.clicks) + " clicks, overlay " +
                (preview.lastOutput->overlayVisible ? "still visible" : "gone"));

    constexpr double settleWithin = 2;
    for (CoverMode mode : {CoverMode::off, CoverMode::veil}) {
        GateTrace dither;
        dither.settings.coverMode = mode;
        dither.hold(openAngle, restBefore);
        dither.ramp(openAngle, foldedAngle, closeSpeed);
        dither.holdJitter(foldedAngle, settleWithin, ditherAmplitude);
        const GateState rest = mode == CoverMode::off ? clearing : GateState::cover;
        if (!dither.wasIn(rest)) {
            r.fail("gate_trace_i_dither_settles", "a lid dithering 1 deg at 60 deg never reached " +
                                                      std::string(rawValue(rest)) +
                                                      " within 2 s: " + path(dither.visited));
            return;
        }
    }
    r.pass("gate_trace_i_dither_settles");
}

// Every way into a fold: from arming, out of the cover, from settling and
// from clearing, after a preview left a stale angle behind.
void foldingEntryCheck(Reporter& r) {
    GateTrace trace;
    trace.settings.previewAngle = 70;
    trace.hold(openAngle, restBefore);
    trace.settings.previewAngle.reset();
    trace.settings.coverMode = CoverMode::veil;
    closeTo60(trace);
    trace.ramp(foldedAngle, 80, closeSpeed);
    trace.hold(80, restBefore);
    trace.ramp(80, 50, closeSpeed);
    trace.hold(50, restAfter);
    trace.settings.coverMode = CoverMode::off;
    while (trace.state() != clearing && trace.time < 30) {
        trace.step(50);
    }
    trace.ramp(50, 40, closeSpeed);
    trace.hold(40, restAfter);

    std::string wrong;
    for (const auto& [display, input] : trace.foldingEntries) {
        if (display != input) {
            wrong = "entered folding showing " + number(display) + " deg with the lid at " +
                    number(input) + " deg";
        }
    }
    constexpr std::size_t waysIn = 4;
    if (trace.foldingEntries.size() < waysIn) {
        wrong = std::to_string(trace.foldingEntries.size()) + " entries into folding, want " +
                std::to_string(waysIn) + ": " + path(trace.visited);
    }
    r.check(wrong.empty(), "gate_folding_entry_angle", wrong);
}

} // namespace

void gateChecks(Reporter& r) {
    armingChecks(r);
    closeChecks(r);
    limitChecks(r);
    previewAndRestChecks(r);
    foldingEntryCheck(r);
}

} // namespace orvane
