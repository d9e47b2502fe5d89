// SPDX-License-Identifier: MIT
// The place the fold is drawn, as the effect controller sees it: what the
// fold shows is the controller's, where and how it is drawn is the back-end's
// (an overlay over the X11 desktop today, a compositor's plug-in next). The
// controller answers each frame with a plain value; every query here reads
// state the back-end already holds, since a back-end may answer slowly.
#pragma once

#include "capture/CaptureControl.h"
#include "cover/CoverHost.h"
#include "render/FoldUniforms.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvane {

// Why the fold cannot be drawn.
enum class DisplayProblem {
    noScreen,           // no built-in screen found
    unsupportedSession, // nothing draws the fold on this desktop session yet
};

std::string_view describe(DisplayProblem problem);

// What a display asks of the controller.
class FoldDisplayClient {
public:
    virtual ~FoldDisplayClient() = default;
    // The frame to show at `targetTime` (seconds on the lid samples' clock); none once
    // the fold is over, and the display then hides.
    virtual std::optional<FoldFrameParams> frameAt(double targetTime) = 0;
    // The live desktop stopped coming; the next gate step may start it again.
    virtual void desktopFailed() = 0;
};

// The cover dresses the frozen fold through the CoverHost side.
class FoldDisplay : public CoverHost {
public:
    // The controller, from its construction to its end.
    virtual void attach(FoldDisplayClient* client) = 0;
    // Finds the built-in screen again and gets ready to draw on it: at the start, after a
    // wake, and when the screens or the chosen screen changed.
    virtual void prepare() = 0;
    // None while the fold can be drawn.
    virtual std::optional<DisplayProblem> problem() const = 0;
    // The built-in screen's highest frame rate; none when unknown.
    virtual std::optional<std::int64_t> maxFPS() const = 0;
    // The live desktop the fold shows, and the permission to read it.
    virtual CaptureControl& desktop() = 0;

    virtual void showLive(std::int64_t fps) = 0;
    // Holds the last frame; the cover's dressing is drawn over it.
    virtual void showFrozen() = 0;
    virtual void hide() = 0;
    virtual bool isLive() const = 0;
    virtual void setFrameRate(std::int64_t fps) = 0;
};

} // namespace orvane
