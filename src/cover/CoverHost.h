// SPDX-License-Identifier: MIT
// The overlay panel as the cover sees it: the dressing it draws over the
// frozen frame, and a way to ask for one more frame.
#pragma once

#include "cover/CoverMode.h"

#include <memory>
#include <optional>

namespace orvane {

// What the clocks and the frost show; the cover controller changes it, the panel draws it.
struct CoverModel {
    double now = 0;       // wall-clock seconds since the epoch
    double veilLevel = 0; // frost coverage, 0 to 1.05
};

struct CoverDressing {
    CoverMode mode = CoverMode::off;
    std::shared_ptr<const CoverModel> model;
};

class CoverHost {
public:
    virtual ~CoverHost() = default;
    // The panel's size in pixels.
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Drawn over the frozen frame from the next frame on; none removes it.
    virtual void setCoverDressing(std::optional<CoverDressing> dressing) = 0;
    virtual void requestOneFrame() = 0;
};

} // namespace orvane
