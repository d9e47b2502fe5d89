// SPDX-License-Identifier: MIT
#include "capture/CaptureService.h"

#include "core/Tuning.h"

#include <utility>

namespace orvane {

CaptureService::CaptureService(Ports ports) : ports_(std::move(ports)) {}

CaptureService::~CaptureService() {
    // Completions still under way find the service gone and do nothing.
    *alive_ = false;
}

std::function<void()> CaptureService::guarded(std::function<void()> work) {
    return [alive = std::weak_ptr<bool>(alive_), work = std::move(work)] {
        if (const auto token = alive.lock(); token && *token) {
            work();
        }
    };
}

// Permission.

bool CaptureService::permissionForGateStep(bool mayStartFold) {
    return permission_.grant(ports_.uptime(), mayStartFold,
                             [this] { return ports_.factory.preflight(); });
}

bool CaptureService::refreshPermission() {
    return permission_.refresh(ports_.uptime(), [this] { return ports_.factory.preflight(); });
}

// Failure.

bool CaptureService::failureIsCurrent(bool failed, std::optional<double> lastFailure, double now) {
    return failed && lastFailure && now - *lastFailure < Tuning::captureRetryInterval;
}

bool CaptureService::isFailing() const {
    return failureIsCurrent(failed_, lastFailure_, ports_.uptime());
}

void CaptureService::markFailed() {
    failed_ = true;
    lastFailure_ = ports_.uptime();
}

// Preparation.

void CaptureService::prepare() {
    prepareThen({});
}

void CaptureService::prepareThen(std::function<void()> then) {
    const std::uint64_t mine = prepareGeneration_++;
    ports_.factory.prepare(
        [this, mine, then, alive = std::weak_ptr<bool>(alive_)](CaptureFactory::Prepared result) {
            if (const auto token = alive.lock(); !token || !*token) {
                return;
            }
            // Only the latest prepare or invalidation decides what is prepared.
            if (prepareGeneration_ == mine + 1) {
                prepared_ = result.ok() ? result.value() : std::nullopt;
            }
            if (then) {
                then();
            }
        });
}

void CaptureService::invalidatePrepared() {
    prepared_.reset();
    ++prepareGeneration_;
}

// Starting.

void CaptureService::requestStart(std::int64_t fps) {
    desired_ = true;
    const std::uint64_t requested = generation_;
    ports_.scheduler.after(
        0, guarded([this, fps, requested] {
            start(fps, requested, [this, requested](std::optional<CaptureError> error) {
                if (!error) {
                    if (current(requested)) {
                        loggedStartError_ = false;
                    }
                    return;
                }
                if (!loggedStartError_) {
                    loggedStartError_ = true;
                    ports_.log.note("capture", "capture start failed: " + error->description());
                }
            });
        }));
}

void CaptureService::start(std::int64_t fps, std::uint64_t requested, Done done) {
    if (!current(requested)) {
        return done(std::nullopt);
    }
    if (failed_) {
        if (failureIsCurrent(failed_, lastFailure_, ports_.uptime())) {
            return done(CaptureError{CaptureError::Kind::streamFailed, "waiting for retry window"});
        }
        failed_ = false;
    }
    if (capturing_ || startInFlight_) {
        return done(std::nullopt);
    }
    startInFlight_ = true;
    const std::uint64_t gen = generation_;
    if (stopsInFlight_ == 0) {
        return construct(fps, gen, std::move(done));
    }
    // Two streams never run at once: the next waits for the last one's stop.
    afterStop_.push_back([this, fps, gen, done = std::move(done)] {
        if (!current(gen)) {
            startInFlight_ = false;
            return done(std::nullopt);
        }
        construct(fps, gen, done);
    });
}

void CaptureService::construct(std::int64_t fps, std::uint64_t gen, Done done) {
    const std::uint64_t stream = ++streamGenerationCounter_;
    const auto fail = [this, gen, done](CaptureError error) {
        constructed(std::move(error), gen, done);
    };
    if (!refreshPermission()) {
        return fail({CaptureError::Kind::noPermission, {}});
    }
    const auto make = [this, fps, gen, stream, done, fail] {
        if (!prepared_) {
            return fail({CaptureError::Kind::noBuiltInDisplay, {}});
        }
        auto sink =
            std::make_shared<FrameSink>(slot_, stream, [this, stream](const std::string& message) {
                ports_.scheduler.after(
                    0, guarded([this, stream, message] { streamDidFail(stream, message); }));
            });
        ports_.factory.makeBackend(
            *prepared_, fps, std::move(sink),
            [this, gen, done, alive = std::weak_ptr<bool>(alive_)](CaptureFactory::Made made) {
                if (const auto token = alive.lock(); token && *token) {
                    constructed(std::move(made), gen, done);
                }
            });
    };
    if (prepared_) {
        return make();
    }
    prepareThen([this, gen, make, fail] {
        if (!current(gen)) {
            return fail({CaptureError::Kind::cancelled, {}});
        }
        make();
    });
}

void CaptureService::constructed(CaptureFactory::Made made, std::uint64_t gen, Done done) {
    if (!made.ok()) {
        if (current(gen)) {
            markFailed();
            startInFlight_ = false;
            return done(made.error());
        }
        ports_.log.note("capture",
                        "superseded capture construction failed: " + made.error().description());
        startInFlight_ = false;
        return done(std::nullopt);
    }
    std::shared_ptr<CaptureBackend> backend = made.take();
    if (!current(gen)) {
        return retire(std::move(backend), [this, done] {
            startInFlight_ = false;
            done(std::nullopt);
        });
    }
    startBackend(std::move(backend), gen, std::move(done));
}

void CaptureService::startBackend(std::shared_ptr<CaptureBackend> backend, std::uint64_t gen,
                                  Done done) {
    slot_->liveGeneration = streamGenerationCounter_;
    // The callback holds the backend, which must outlive its own start.
    CaptureBackend& starting = *backend;
    starting.start([this, gen, done, backend,
                    alive = std::weak_ptr<bool>(alive_)](std::optional<CaptureError> error) {
        if (const auto token = alive.lock(); !token || !*token) {
            return;
        }
        if (!error && current(gen)) {
            backend_ = backend;
            capturing_ = true;
            startInFlight_ = false;
            return done(std::nullopt);
        }
        slot_->liveGeneration.reset();
        const bool wasCurrent = current(gen);
        if (error) {
            if (wasCurrent) {
                markFailed();
            } else {
                ports_.log.note("capture",
                                "superseded capture start failed: " + error->description());
            }
        }
        retire(backend, [this, done, error, wasCurrent] {
            startInFlight_ = false;
            if (error && wasCurrent) {
                return done(
                    error->kind == CaptureError::Kind::streamFailed
                        ? *error
                        : CaptureError{CaptureError::Kind::streamFailed, error->description()});
            }
            done(std::nullopt);
        });
    });
}

// Stopping.

void CaptureService::stop() {
    desired_ = false;
    ++generation_;
    // Frames still on their way are dropped from here on.
    slot_->liveGeneration.reset();
    capturing_ = false;
    if (backend_) {
        retire(std::exchange(backend_, nullptr), {});
    }
}

void CaptureService::retire(std::shared_ptr<CaptureBackend> backend, std::function<void()> then) {
    ++stopsInFlight_;
    CaptureBackend& going = *backend;
    going.stop([this, backend, then, alive = std::weak_ptr<bool>(alive_)] {
        if (const auto token = alive.lock(); !token || !*token) {
            return;
        }
        --stopsInFlight_;
        if (then) {
            then();
        }
        if (stopsInFlight_ > 0) {
            return;
        }
        // Starts that waited for the stops go on, in the order they came.
        std::vector<std::function<void()>> waiting;
        waiting.swap(afterStop_);
        for (auto& next : waiting) {
            next();
        }
    });
}

void CaptureService::streamDidFail(std::uint64_t streamGeneration, const std::string& message) {
    if (slot_->liveGeneration != streamGeneration) {
        return; // an older stream's failure
    }
    ports_.log.note("capture", "capture stream failed: " + message);
    stop();
    markFailed();
    if (onStreamFailure) {
        onStreamFailure();
    }
}

} // namespace orvane
