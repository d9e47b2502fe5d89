// SPDX-License-Identifier: MIT
// The real capture service over the fake streams: starts overtaken by stops,
// one stream at a time, the retry window, retired streams, preparations.
#include "capture/CaptureService.h"
#include "core/Tuning.h"
#include "doubles/EffectDoubles.h"
#include "doubles/FakeCapture.h"
#include "selfcheck/ComponentChecks.h"

#include <array>
#include <functional>
#include <string>

namespace orvane {

namespace {

// Time for any start, stop or preparation of the fakes below to finish.
constexpr double settleTime = 1.0;
constexpr double step = 0.001;

struct CaptureBench {
    ManualScheduler scheduler;
    Notes notes;
    FakeCaptureFactory factory{scheduler};
    CaptureService service{{factory, scheduler, scheduler.clock(), notes}};

    // The wait for completion: time moves until `done` holds or the limit
    // passes; false when it never held.
    bool runUntil(const std::function<bool()>& done, double limit = settleTime) {
        const double until = scheduler.now + limit;
        while (!done()) {
            if (scheduler.now >= until) {
                return false;
            }
            scheduler.advanceBy(step);
        }
        return true;
    }
    void settle() { scheduler.advanceBy(settleTime); }
    bool startAndWait() {
        service.requestStart(Tuning::fpsBattery);
        return runUntil([this] { return service.isCapturing(); });
    }
};

std::string counts(const FakeCaptureFactory::Counts& c) {
    return "running " + std::to_string(c.running) + ", active " + std::to_string(c.active) +
           ", peak " + std::to_string(c.peakActive) + ", made " + std::to_string(c.constructed);
}

void slowStreams(CaptureBench& bench) {
    bench.factory.startDelay = 0.05;
    bench.factory.stopDelay = 0.02;
    bench.factory.prepareDelay = 0.02;
}

void stopOvertakesStart(Reporter& report) {
    // Stops landing while preparing, constructing, starting, and just after.
    for (const double stopAt : {0.0, 0.001, 0.03, 0.07}) {
        CaptureBench bench;
        slowStreams(bench);
        bench.service.requestStart(Tuning::fpsBattery);
        bench.scheduler.advanceBy(stopAt);
        bench.service.stop();
        bench.settle();
        const auto& c = bench.factory.counts;
        if (c.running != 0 || c.active != 0 || c.peakActive > 1 || bench.service.isCapturing() ||
            bench.service.isStarting()) {
            return report.fail("capture_stop_overtakes_start",
                               "stop at " + std::to_string(stopAt) + " s left " + counts(c));
        }
    }
    report.pass("capture_stop_overtakes_start");
}

void restartsNeverOverlap(Reporter& report) {
    CaptureBench bench;
    slowStreams(bench);
    std::int64_t worst = 0;
    for (int i = 0; i < 20; ++i) {
        bench.service.requestStart(Tuning::fpsBattery);
        bench.scheduler.advanceBy(0.011 * (i % 7));
        bench.service.stop();
        bench.scheduler.advanceBy(0.013 * (i % 5));
        worst = std::max(worst, bench.factory.counts.peakActive);
    }
    bench.settle();
    report.check(worst <= 1 && bench.factory.counts.active == 0, "capture_restarts_never_overlap",
                 counts(bench.factory.counts));
}

void twoRequestsOneStream(Reporter& report) {
    CaptureBench bench;
    bench.factory.startDelay = 0.05;
    bench.service.requestStart(Tuning::fpsBattery);
    bench.service.requestStart(Tuning::fpsBattery);
    const bool started = bench.runUntil([&] { return bench.service.isCapturing(); });
    bench.service.requestStart(Tuning::fpsBattery);
    bench.settle();
    report.check(started && bench.factory.counts.constructed == 1 &&
                     bench.factory.counts.running == 1,
                 "capture_two_requests_one_stream", counts(bench.factory.counts));
}

void notReadyBeforeNewFrame(Reporter& report) {
    CaptureBench bench;
    if (!bench.startAndWait()) {
        return report.fail("capture_not_ready_before_new_frame", "the first start never ran");
    }
    bench.factory.deliverFrame();
    const bool readyFirst = bench.service.hasFrameForCurrentStream();
    bench.service.stop();
    const bool readyAfterStop = bench.service.hasFrameForCurrentStream();
    const bool restarted = bench.startAndWait();
    const bool oldFrameKept = bench.service.latestFrame().has_value();
    const bool readyBeforeFrame = bench.service.hasFrameForCurrentStream();
    bench.factory.deliverFrame();
    const bool readyAfterFrame = bench.service.hasFrameForCurrentStream();
    report.check(readyFirst && !readyAfterStop && restarted && oldFrameKept && !readyBeforeFrame &&
                     readyAfterFrame,
                 "capture_not_ready_before_new_frame",
                 std::string("ready: first ") + (readyFirst ? "yes" : "no") + ", after stop " +
                     (readyAfterStop ? "yes" : "no") + ", restarted before its frame " +
                     (readyBeforeFrame ? "yes" : "no") + ", after its frame " +
                     (readyAfterFrame ? "yes" : "no"));
}

void retryWindow(Reporter& report) {
    CaptureBench bench;
    bench.factory.startError = CaptureError{CaptureError::Kind::streamFailed, "device busy"};
    bench.service.requestStart(Tuning::fpsBattery);
    if (!bench.runUntil([&] { return bench.service.isFailing(); })) {
        return report.fail("capture_retry_window", "a failed start did not read as failing");
    }
    const double failedAt = bench.scheduler.now;
    bench.factory.startError.reset();
    bench.service.requestStart(Tuning::fpsBattery);
    bench.scheduler.advanceBy(Tuning::captureRetryInterval / 2);
    if (bench.service.isCapturing() || bench.factory.counts.constructed > 1) {
        return report.fail("capture_retry_window", "a start inside the window was not refused");
    }
    if (bench.notes.lines.size() != 1) {
        return report.fail("capture_retry_window",
                           std::to_string(bench.notes.lines.size()) +
                               " log lines for one run of failures, want 1");
    }
    bench.scheduler.advanceTo(failedAt + Tuning::captureRetryInterval);
    const bool failingAfter = bench.service.isFailing();
    const bool started = bench.startAndWait();
    report.check(!failingAfter && started, "capture_retry_window",
                 std::string("after the window: failing ") + (failingAfter ? "yes" : "no") +
                     ", started " + (started ? "yes" : "no"));
}

void supersededErrorsForgiven(Reporter& report) {
    CaptureBench bench;
    bench.factory.startDelay = 0.05;
    bench.factory.startError = CaptureError{CaptureError::Kind::streamFailed, "late"};
    bench.service.requestStart(Tuning::fpsBattery);
    bench.scheduler.advanceBy(0.02);
    bench.service.stop(); // overtakes the start that is about to fail
    bench.settle();
    const bool failingAfterStart = bench.service.isFailing();
    bench.factory.startError.reset();
    bench.factory.constructionError = CaptureError{CaptureError::Kind::streamFailed, "gone"};
    bench.service.requestStart(Tuning::fpsBattery);
    bench.service.stop();
    bench.settle();
    const bool failingAfterConstruction = bench.service.isFailing();
    bench.factory.constructionError.reset();
    const bool started = bench.startAndWait();
    report.check(!failingAfterStart && !failingAfterConstruction && started,
                 "capture_superseded_errors_forgiven",
                 std::string("failing after an overtaken start ") +
                     (failingAfterStart ? "yes" : "no") + ", after an overtaken construction " +
                     (failingAfterConstruction ? "yes" : "no") + ", next start " +
                     (started ? "ran" : "refused"));
}

void currentErrorCounts(Reporter& report) {
    CaptureBench bench;
    bench.factory.constructionError = CaptureError{CaptureError::Kind::streamFailed, "gone"};
    bench.service.requestStart(Tuning::fpsBattery);
    bench.service.stop();
    bench.service.requestStart(Tuning::fpsBattery); // the current one
    bench.settle();
    report.check(bench.service.isFailing(), "capture_current_error_counts",
                 "the current start's construction error opened no retry window");
}

void stopBeforeQueuedStart(Reporter& report) {
    CaptureBench bench;
    bench.service.requestStart(Tuning::fpsBattery);
    bench.service.stop();
    bench.settle();
    report.check(bench.factory.counts.constructed == 0 && !bench.service.isStarting(),
                 "capture_stop_before_queued_start", counts(bench.factory.counts));
}

void retiredSinks(Reporter& report) {
    CaptureBench bench;
    if (!bench.startAndWait()) {
        return report.fail("capture_retired_sink_ignored", "the first start never ran");
    }
    const auto retired = bench.factory.sinks.back();
    bench.service.stop();
    if (!bench.startAndWait()) {
        return report.fail("capture_retired_sink_ignored", "the second start never ran");
    }
    bench.factory.deliverFrame();
    const std::uint64_t live = bench.service.latestFrame()->streamGeneration;
    retired->deliver(nullptr);
    const std::uint64_t shown = bench.service.latestFrame()->streamGeneration;
    retired->fail("gone");
    bench.settle();
    report.check(shown == live && bench.service.isCapturing() && !bench.service.isFailing(),
                 "capture_retired_sink_ignored",
                 "frame of stream " + std::to_string(shown) + " shown, live " +
                     std::to_string(live) + (bench.service.isCapturing() ? "" : ", live stopped"));
}

void liveFailureStops(Reporter& report) {
    CaptureBench bench;
    int told = 0;
    bench.service.onStreamFailure = [&] { ++told; };
    if (!bench.startAndWait()) {
        return report.fail("capture_live_failure_stops", "the start never ran");
    }
    bench.factory.sinks.back()->fail("display gone");
    bench.settle();
    report.check(told == 1 && !bench.service.isCapturing() && bench.service.isFailing() &&
                     bench.factory.counts.running == 0,
                 "capture_live_failure_stops",
                 "told " + std::to_string(told) + " times, " + counts(bench.factory.counts));
}

void latestPreparationWins(Reporter& report) {
    CaptureBench bench;
    bench.factory.prepareDelay = 0.05;
    bench.service.prepare();
    bench.scheduler.advanceBy(0.01);
    bench.service.invalidatePrepared(); // the screen changed while preparing
    bench.settle();
    const auto before = bench.factory.counts.preparations;
    const bool started = bench.startAndWait();
    // The overtaken result was dropped, so the start had to prepare afresh.
    report.check(started && bench.factory.counts.preparations == before + 1,
                 "capture_latest_preparation_wins",
                 std::to_string(bench.factory.counts.preparations - before) +
                     " preparations at start, want 1");
}

} // namespace

void captureChecks(Reporter& report) {
    const std::array<void (*)(Reporter&), 11> checks{
        stopOvertakesStart, restartsNeverOverlap,     twoRequestsOneStream, notReadyBeforeNewFrame,
        retryWindow,        supersededErrorsForgiven, currentErrorCounts,   stopBeforeQueuedStart,
        retiredSinks,       liveFailureStops,         latestPreparationWins};
    for (const auto check : checks) {
        report.guarded("capture_", [&] { check(report); });
    }
}

} // namespace orvane
