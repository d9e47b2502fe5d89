// SPDX-License-Identifier: MIT
#include "selfcheck/GateTrace.h"

#include <algorithm>
#include <cmath>

namespace orvane {

void GateTrace::hold(double angle, double seconds) {
    for (double end = time + seconds; time < end;) {
        step(angle);
    }
}

void GateTrace::holdJitter(double angle, double seconds, double jitter) {
    double sign = 1;
    for (double end = time + seconds; time < end; sign = -sign) {
        step(angle + sign * jitter);
    }
}

void GateTrace::ramp(double from, double to, double degPerSec) {
    const double duration = std::abs(to - from) / degPerSec;
    const double start = time;
    while (time - start < duration) {
        step(from + (to - from) * (time - start) / duration);
    }
    step(to);
}

const GateOutput& GateTrace::step(double raw) {
    const FilteredSample lid = filter.ingest(raw, time);
    framesSinceArm = lastOutput && lastOutput->wantsCapture ? framesSinceArm + 1 : 0;
    frameReady = deliverFrames && framesSinceArm > 0;
    const GateInput input{lid.angle,  lid.velocity, time,
                          frameReady, blocked,      settings.gateSettings()};
    const GateState from = gate.state();
    lastOutput = gate.step(input);
    const GateState to = gate.state();

    if (to != from) {
        // Arming lasts until the step that leaves it.
        if (armingSince) {
            maxArmingDuration = std::max(maxArmingDuration, time - *armingSince);
        }
        visited.push_back(to);
        if (to == GateState::idle) {
            idleEntries.push_back(raw);
        }
        if (to == GateState::folding) {
            foldingEntries.emplace_back(lastOutput->displayAngle, input.angle);
        }
        armingSince = to == GateState::arming ? std::optional(time) : std::nullopt;
    }
    clicks += static_cast<int>(
        std::count(lastOutput->events.begin(), lastOutput->events.end(), GateEvent::clearClick));
    sawCapture = sawCapture || lastOutput->wantsCapture;
    time += dt;
    return *lastOutput;
}

bool GateTrace::wasIn(GateState state) const {
    return std::find(visited.begin(), visited.end(), state) != visited.end();
}

} // namespace orvane
