// SPDX-License-Identifier: MIT
// A display that draws nothing: it keeps what the controller last asked it to
// show, reports the problem its owner sets, and hands out the desktop double
// it was given.
#pragma once

#include "effect/FoldDisplay.h"

#include <functional>
#include <string>

namespace orvane {

class FakeFoldDisplay final : public FoldDisplay {
public:
    explicit FakeFoldDisplay(CaptureControl& desktop) : desktop_(desktop) {}

    std::string state = "hidden"; // "live", "frozen"
    std::optional<DisplayProblem> fault;
    std::optional<std::int64_t> fps = 120;
    int prepares = 0;
    FoldDisplayClient* client = nullptr;
    // Each change of state, as it happens.
    std::function<void(const std::string&)> onState;

    void attach(FoldDisplayClient* next) override { client = next; }
    void prepare() override { ++prepares; }
    std::optional<DisplayProblem> problem() const override { return fault; }
    std::optional<std::int64_t> maxFPS() const override { return fps; }
    CaptureControl& desktop() override { return desktop_; }
    void showLive(std::int64_t) override { set("live"); }
    void showFrozen() override { set("frozen"); }
    void hide() override { set("hidden"); }
    bool isLive() const override { return state == "live"; }
    void setFrameRate(std::int64_t) override {}
    int width() const override { return 0; }
    int height() const override { return 0; }
    void setCoverDressing(std::optional<CoverDressing>) override {}

private:
    void set(const std::string& next) {
        if (next != state && onState) {
            onState(next);
        }
        state = next;
    }

    CaptureControl& desktop_;
};

} // namespace orvane
