// SPDX-License-Identifier: MIT
// The live desktop where the compositor draws the fold itself: it folds the
// frame it composes anyway, so there is nothing to capture, no permission to
// ask and never a wait for a first frame.
#pragma once

#include "capture/CaptureControl.h"

namespace orvane {

class ComposedDesktop final : public CaptureControl {
public:
    bool hasFrameForCurrentStream() const override { return desired_; }
    bool hasPermission() const override { return true; }
    bool permissionForGateStep(bool) override { return true; }
    bool refreshPermission() override { return true; }
    bool isCapturing() const override { return desired_; }
    bool isStarting() const override { return false; }
    bool isDesired() const override { return desired_; }
    bool isFailing() const override { return false; }
    void requestStart(std::int64_t) override { desired_ = true; }
    void stop() override { desired_ = false; }
    void prepare() override {}
    void invalidatePrepared() override {}

private:
    bool desired_ = false;
};

} // namespace orvane
