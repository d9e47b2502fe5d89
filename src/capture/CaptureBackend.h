// SPDX-License-Identifier: MIT
// The platform's side of the capture: a factory that describes the built-in
// screen's capture ahead of time and makes streams, each delivering its
// frames to a sink. Everything here runs on the main thread; completions are
// called later, never from inside the call that asked for them.
#pragma once

#include "capture/CaptureError.h"
#include "capture/FrameBox.h"
#include "core/Result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvane {

// What a stream captures: the built-in screen's rectangle in root coordinates.
struct CapturePreparation {
    std::string screen;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const CapturePreparation&) const = default;
};

// Where one stream's frames go: stamped with the stream's generation, they
// reach the service's slot while the service lives.
class FrameSink {
public:
    FrameSink(std::weak_ptr<CaptureFrameSlot> slot, std::uint64_t streamGeneration,
              std::function<void(const std::string&)> onError);

    // A complete frame.
    void deliver(std::shared_ptr<const FrameTexture> texture);
    // The stream stopped with an error.
    void fail(const std::string& message);

    std::uint64_t streamGeneration() const { return streamGeneration_; }
    std::uint64_t counter() const { return counter_; }

private:
    std::weak_ptr<CaptureFrameSlot> slot_;
    std::uint64_t streamGeneration_;
    std::uint64_t counter_ = 0;
    std::function<void(const std::string&)> onError_;
};

class CaptureBackend {
public:
    virtual ~CaptureBackend() = default;
    // `done` gets the error when the stream could not start.
    virtual void start(std::function<void(std::optional<CaptureError>)> done) = 0;
    // Never fails.
    virtual void stop(std::function<void()> done) = 0;
};

class CaptureFactory {
public:
    using Prepared = Result<std::optional<CapturePreparation>, CaptureError>;
    using Made = Result<std::unique_ptr<CaptureBackend>, CaptureError>;

    virtual ~CaptureFactory() = default;
    // Asks the system for the screen-recording permission, never prompting.
    virtual bool preflight() = 0;
    // Describes the capture of the built-in screen; none when there is no such screen.
    virtual void prepare(std::function<void(Prepared)> done) = 0;
    // A stream that is not started yet, at most `fps` frames a second.
    virtual void makeBackend(const CapturePreparation& preparation, std::int64_t fps,
                             std::shared_ptr<FrameSink> sink, std::function<void(Made)> done) = 0;
};

} // namespace orvane
