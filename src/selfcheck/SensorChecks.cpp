// SPDX-License-Identifier: MIT
// The sensor service over a simulated device: zero tracking, a device that
// never opens, and the close and reopen after failed reads.
#include "core/AppIdentity.h"
#include "core/Tuning.h"
#include "doubles/EffectRig.h"
#include "doubles/FakeSensor.h"
#include "selfcheck/CheckText.h"
#include "selfcheck/LidChecks.h"
#include "sensor/AngleFilter.h"

#include <string>

namespace orvane {

namespace {

double interval(SensorRate rate) {
    constexpr double secondsPerNanosecond = 1e-9;
    return static_cast<double>(intervalNanoseconds(rate)) * secondsPerNanosecond;
}

// `count` ticks of the poller's timer at its current rate; the main thread's
// work runs as each tick's time comes.
void polls(FakeSensorRig& rig, int count) {
    for (int i = 0; i < count; ++i) {
        rig.run(interval(rig.poller().rate()));
    }
}

// A started service polling at the active rate.
void startActive(FakeSensorRig& rig) {
    rig.service().start();
    rig.service().setRate(SensorRate::active);
    rig.run(0);
}

std::string events(const std::vector<bool>& events) {
    std::string text = "events [";
    for (bool open : events) {
        text += open ? " open" : " closed";
    }
    return text + " ]";
}

void zeroChecks(Reporter& r) {
    constexpr double zeroSeconds = 0.5;
    FakeSensorRig rig;
    rig.state.readResult = 0.0;
    startActive(rig);
    rig.run(zeroSeconds);

    SensorZeroTracker tracker;
    const bool untouched = !tracker.readsOnlyZero();
    r.check(untouched, "sensor_zero_no_samples", "a tracker without samples reads only zero");

    // The controller takes the same samples and resolves its availability from them.
    EffectRig effect(std::string(AppIdentity::identifier) + ".selftest");
    double time = 0;
    std::size_t fed = 0;
    const auto feed = [&] {
        for (; fed < rig.samples.size(); ++fed) {
            tracker.ingest(rig.samples[fed]);
            time += interval(SensorRate::active);
            effect.controller().lidSample(rig.samples[fed], time);
        }
    };
    feed();
    const Availability zero = effect.controller().availability();
    const bool zeroFlagged = zero.kind() == Availability::Kind::noSensor && zero.readsZero();
    r.check(rig.state.samples > 0 && tracker.readsOnlyZero() && zeroFlagged,
            "sensor_zero_only_zeros",
            std::to_string(rig.state.samples) + " zero samples, reads only zero " +
                (tracker.readsOnlyZero() ? "yes" : "no") + ", availability " +
                (zeroFlagged ? "no sensor (zeros)" : "other"));

    // One real reading clears the flag for good, whatever follows.
    rig.state.readResult = 1.0;
    polls(rig, 1);
    rig.state.readResult = 0.0;
    polls(rig, static_cast<int>(Tuning::sensorMaxConsecutiveFailures));
    feed();
    const Availability after = effect.controller().availability();
    r.check(!tracker.readsOnlyZero() && after.kind() == Availability::Kind::ready,
            "sensor_zero_cleared_by_reading",
            std::string("after a reading of 1 deg: reads only zero ") +
                (tracker.readsOnlyZero() ? "yes" : "no") + ", ready " +
                (after.kind() == Availability::Kind::ready ? "yes" : "no"));

    tracker.reset();
    tracker.ingest(0);
    r.check(tracker.readsOnlyZero(), "sensor_zero_reset",
            "a reset tracker still remembered a reading other than zero");
}

void failedOpenCheck(Reporter& r) {
    constexpr double watched = 12.0;
    FakeSensorRig rig;
    rig.state.openResult = false;
    rig.state.readResult = 90.0;
    rig.service().start();
    rig.run(watched);
    const auto& opens = rig.openTimes();
    std::string wrong;
    for (std::size_t i = 1; i < opens.size(); ++i) {
        const double gap = opens[i] - opens[i - 1];
        if (gap < Tuning::sensorReopenInterval ||
            gap > Tuning::sensorReopenInterval + interval(SensorRate::idle) + 1e-9) {
            wrong = CheckText::measured("open retried after", gap,
                                        "!=", Tuning::sensorReopenInterval, " s");
        }
    }
    if (opens.size() < 2) {
        wrong = "opened " + std::to_string(opens.size()) + " times in 12 s";
    }
    if (rig.state.readCalls != 0) {
        wrong = std::to_string(rig.state.readCalls) + " reads of a closed device";
    }
    if (!rig.state.events.empty()) {
        wrong = events(rig.state.events) + ", want none";
    }
    r.check(wrong.empty(), "sensor_failed_open_no_reads", wrong);
}

void reopenChecks(Reporter& r) {
    const int allowed = static_cast<int>(Tuning::sensorMaxConsecutiveFailures) - 1;
    {
        FakeSensorRig rig;
        startActive(rig);
        polls(rig, allowed);
        rig.state.readResult = 42.0;
        polls(rig, 1);
        rig.state.readResult.reset();
        polls(rig, allowed);
        r.check(rig.state.events == std::vector<bool>{true} && rig.state.samples == 1 &&
                    rig.state.closeCalls == 0,
                "sensor_failure_reopen_eleven_keep_open",
                events(rig.state.events) + ", " + std::to_string(rig.state.samples) + " samples, " +
                    std::to_string(rig.state.closeCalls) + " closes");
    }

    FakeSensorRig rig;
    startActive(rig);
    polls(rig, allowed + 1);
    const double closedAt = rig.scheduler.now;
    r.check(rig.state.events == std::vector<bool>{true, false} && rig.state.closeCalls == 1,
            "sensor_failure_reopen_twelve_close_once",
            events(rig.state.events) + ", " + std::to_string(rig.state.closeCalls) + " closes");

    rig.state.readResult = 50.0;
    const int openedBefore = rig.state.openCalls;
    rig.run(Tuning::sensorReopenInterval - interval(SensorRate::active));
    const bool waited = rig.state.openCalls == openedBefore;
    polls(rig, 2);
    const double reopenedAfter = rig.openTimes().back() - closedAt;
    r.check(waited && reopenedAfter >= Tuning::sensorReopenInterval &&
                reopenedAfter <= Tuning::sensorReopenInterval + interval(SensorRate::active) + 1e-9,
            "sensor_failure_reopen_after_interval",
            CheckText::measured("reopened after", waited ? reopenedAfter : 0, "outside",
                                Tuning::sensorReopenInterval, " s"));

    const bool openFirst = rig.state.events.size() == 3 && rig.state.events[2] &&
                           rig.samplesBeforeEvent[2] == 0 && rig.state.samples > 0;
    r.check(openFirst, "sensor_failure_reopen_open_before_sample",
            events(rig.state.events) + ", " + std::to_string(rig.state.samples) + " samples");
}

} // namespace

void sensorChecks(Reporter& r) {
    zeroChecks(r);
    failedOpenCheck(r);
    reopenChecks(r);
}

} // namespace orvane
