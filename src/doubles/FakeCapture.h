// SPDX-License-Identifier: MIT
// A capture factory and streams without a screen, for the self-check and the
// tests: starts and stops take their time on the scheduler, a start may fail,
// and counts show how many streams ever ran or overlapped.
#pragma once

#include "capture/CaptureBackend.h"
#include "core/Scheduler.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

class FakeCaptureFactory final : public CaptureFactory {
public:
    struct Counts {
        std::int64_t running = 0;     // streams started and not stopped
        std::int64_t constructed = 0; // streams made
        std::int64_t active = 0;      // streams starting or running
        std::int64_t peakActive = 0;  // the most that were ever active at once
        std::int64_t stops = 0;
        std::int64_t preparations = 0;
        std::int64_t geometry = 0; // preparations that found the screen
    };

    explicit FakeCaptureFactory(Scheduler& scheduler) : scheduler_(scheduler) {}

    double startDelay = 0; // seconds
    double stopDelay = 0;
    double prepareDelay = 0;
    std::optional<CaptureError> startError;
    std::optional<CaptureError> constructionError;
    bool permission = true;
    std::optional<CapturePreparation> screen = CapturePreparation{"eDP-1", 0, 0, 1512, 982};
    Counts counts;
    // Every stream made, newest last; each keeps its sink.
    std::vector<std::shared_ptr<FrameSink>> sinks;

    bool preflight() override { return permission; }
    void prepare(std::function<void(Prepared)> done) override;
    void makeBackend(const CapturePreparation& preparation, std::int64_t fps,
                     std::shared_ptr<FrameSink> sink, std::function<void(Made)> done) override;

    // A frame from the newest stream, as if the screen changed.
    void deliverFrame();

private:
    Scheduler& scheduler_;
};

class FakeCaptureBackend final : public CaptureBackend {
public:
    struct Started {
        bool running = false;
        bool stopped = false;
    };

    explicit FakeCaptureBackend(FakeCaptureFactory& factory) : factory_(factory) {}
    void start(std::function<void(std::optional<CaptureError>)> done) override;
    void stop(std::function<void()> done) override;

    Started started;

private:
    FakeCaptureFactory& factory_;
    Scheduler* scheduler_ = nullptr;
    bool active_ = false;
    friend class FakeCaptureFactory;
};

} // namespace orvane
