// SPDX-License-Identifier: MIT
// What the effect controller asks of the capture of the built-in screen.
#pragma once

#include <cstdint>

namespace orvane {

// Screen capture of the built-in display. One stream at a time; the service
// discards the late results of a start that a stop overtook.
class CaptureControl {
public:
    virtual ~CaptureControl() = default;
    virtual bool hasFrameForCurrentStream() const = 0;
    // The cached answer; never asks the system.
    virtual bool hasPermission() const = 0;
    // Asks the system only when the policy allows it for this step.
    virtual bool permissionForGateStep(bool mayStartFold) = 0;
    // Asks the system now.
    virtual bool refreshPermission() = 0;
    virtual bool isCapturing() const = 0;
    virtual bool isStarting() const = 0;
    virtual bool isDesired() const = 0;
    virtual bool isFailing() const = 0;
    virtual void requestStart(std::int64_t fps) = 0;
    virtual void stop() = 0;
    virtual void prepare() = 0;
    virtual void invalidatePrepared() = 0;
};

} // namespace orvane
