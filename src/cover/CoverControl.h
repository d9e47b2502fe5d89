// SPDX-License-Identifier: MIT
// What the effect controller asks of the cover: dress the parked overlay, or stop.
#pragma once

#include "cover/CoverMode.h"

namespace orvane {

class CoverControl {
public:
    virtual ~CoverControl() = default;
    virtual void coverAppeared(CoverMode mode, bool reduceMotion) = 0;
    virtual void coverEnded() = 0;
};

} // namespace orvane
