// SPDX-License-Identifier: MIT
// A display that cannot draw the fold, and says why: on a session no back-end
// serves yet. It has no desktop to read and nothing to show.
#pragma once

#include "effect/FoldDisplay.h"

namespace orvane {

class UnavailableFoldDisplay final : public FoldDisplay {
public:
    explicit UnavailableFoldDisplay(DisplayProblem problem) : problem_(problem) {}

    void attach(FoldDisplayClient*) override {}
    void prepare() override {}
    std::optional<DisplayProblem> problem() const override { return problem_; }
    std::optional<std::int64_t> maxFPS() const override { return std::nullopt; }
    CaptureControl& desktop() override { return desktop_; }
    void showLive(std::int64_t) override {}
    void showFrozen() override {}
    void hide() override {}
    bool isLive() const override { return false; }
    void setFrameRate(std::int64_t) override {}
    int width() const override { return 0; }
    int height() const override { return 0; }
    void setCoverDressing(std::optional<CoverDressing>) override {}

private:
    // Nothing to read, and nothing to ask permission for.
    struct NoDesktop final : CaptureControl {
        bool hasFrameForCurrentStream() const override { return false; }
        bool hasPermission() const override { return true; }
        bool permissionForGateStep(bool) override { return true; }
        bool refreshPermission() override { return true; }
        bool isCapturing() const override { return false; }
        bool isStarting() const override { return false; }
        bool isDesired() const override { return false; }
        bool isFailing() const override { return false; }
        void requestStart(std::int64_t) override {}
        void stop() override {}
        void prepare() override {}
        void invalidatePrepared() override {}
    };

    DisplayProblem problem_;
    NoDesktop desktop_;
};

} // namespace orvane
