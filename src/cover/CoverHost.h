// SPDX-License-Identifier: MIT
// The place the fold is drawn, as the cover sees it: the dressing it draws
// over the frozen frame. The dressing is a plain value, sent anew at each change.
#pragma once

#include "cover/CoverMode.h"

#include <optional>

namespace orvane {

// What the clocks and the frost show.
struct CoverDressing {
    CoverMode mode = CoverMode::off;
    double now = 0;       // wall-clock seconds since the epoch
    double veilLevel = 0; // frost coverage, 0 to 1.05
    bool operator==(const CoverDressing&) const = default;
};

class CoverHost {
public:
    virtual ~CoverHost() = default;
    // The size the fold is drawn at, in pixels.
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Drawn over the frozen frame from now on, drawn again at once; none removes it.
    virtual void setCoverDressing(std::optional<CoverDressing> dressing) = 0;
};

} // namespace orvane
