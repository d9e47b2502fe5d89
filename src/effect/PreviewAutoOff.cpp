// SPDX-License-Identifier: MIT
#include "effect/PreviewAutoOff.h"

#include <cmath>

namespace orvane::PreviewAutoOff {

bool shouldEnd(double lastInteraction, double now, double timeout) {
    // An unreadable clock says nothing; the timer's next tick decides, so a
    // glitch neither ends the preview nor holds it for longer than the glitch.
    if (std::isnan(now)) {
        return false;
    }
    // An interaction that cannot be dated never grows old, so keeping the
    // preview would keep it for good; ending it costs the user one touch.
    if (!std::isfinite(lastInteraction)) {
        return true;
    }
    return now - lastInteraction >= timeout;
}

} // namespace orvane::PreviewAutoOff
