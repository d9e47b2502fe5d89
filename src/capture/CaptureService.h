// SPDX-License-Identifier: MIT
// Starts and stops the capture of the built-in screen as the effect asks, one
// stream at a time, and keeps the newest frame of the live stream for the
// renderer. Starts and stops come quickly as the lid moves: generation
// numbers make an overtaken start undo itself, and only the current start's
// failures open the five-second retry window. Main thread only.
#pragma once

#include "capture/CaptureBackend.h"
#include "capture/CaptureControl.h"
#include "capture/PermissionPolicy.h"
#include "core/Scheduler.h"
#include "core/SystemLog.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

class CaptureService final : public CaptureControl {
public:
    struct Ports {
        CaptureFactory& factory;
        Scheduler& scheduler;
        std::function<double()>
            uptime; // seconds since boot: the permission's and the retry's clock
        SystemLog& log;
    };

    explicit CaptureService(Ports ports);
    ~CaptureService() override;
    CaptureService(const CaptureService&) = delete;
    CaptureService& operator=(const CaptureService&) = delete;

    bool hasFrameForCurrentStream() const override { return slot_->hasFrameForCurrentStream(); }
    bool hasPermission() const override { return permission_.granted; }
    bool permissionForGateStep(bool mayStartFold) override;
    bool refreshPermission() override;
    bool isCapturing() const override { return capturing_; }
    bool isStarting() const override { return startInFlight_ || stopsInFlight_ > 0; }
    bool isDesired() const override { return desired_; }
    bool isFailing() const override;
    void requestStart(std::int64_t fps) override;
    void stop() override;
    void prepare() override;
    void invalidatePrepared() override;

    // What the renderer draws: the newest frame, of whichever stream.
    std::optional<FrameBox> latestFrame() const { return slot_->frame; }

    static bool failureIsCurrent(bool failed, std::optional<double> lastFailure, double now);

    std::function<void()> onStreamFailure;

private:
    using Done = std::function<void(std::optional<CaptureError>)>;

    void start(std::int64_t fps, std::uint64_t requested, Done done);
    void construct(std::int64_t fps, std::uint64_t gen, Done done);
    void constructed(CaptureFactory::Made made, std::uint64_t gen, Done done);
    void startBackend(std::shared_ptr<CaptureBackend> backend, std::uint64_t gen, Done done);
    void prepareThen(std::function<void()> then);
    // Stops a backend; starts wait until no stop is running.
    void retire(std::shared_ptr<CaptureBackend> backend, std::function<void()> then);
    void streamDidFail(std::uint64_t streamGeneration, const std::string& message);
    bool current(std::uint64_t gen) const { return generation_ == gen && desired_; }
    void markFailed();
    // Runs `work` later on the main thread, unless the service is gone by then.
    std::function<void()> guarded(std::function<void()> work);

    Ports ports_;
    std::shared_ptr<CaptureFrameSlot> slot_ = std::make_shared<CaptureFrameSlot>();
    std::shared_ptr<CaptureBackend> backend_;
    int stopsInFlight_ = 0;
    std::vector<std::function<void()>> afterStop_;
    std::optional<CapturePreparation> prepared_;
    std::optional<double> lastFailure_;
    bool failed_ = false;
    bool desired_ = false;
    std::uint64_t generation_ = 0;
    bool startInFlight_ = false;
    bool capturing_ = false;
    bool loggedStartError_ = false;
    std::uint64_t streamGenerationCounter_ = 0;
    PermissionPolicy permission_;
    std::uint64_t prepareGeneration_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace orvane
