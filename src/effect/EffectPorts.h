// SPDX-License-Identifier: MIT
// What the effect controller drives and asks, each behind a small interface:
// the platform adapters implement them, the tests and the self-check bring
// doubles.
#pragma once

#include "core/Scheduler.h"
#include "cover/CoverControl.h"
#include "sensor/LidSensorControl.h"
#include "system/SystemFacts.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace orvane {

class AccordionControl {
public:
    virtual ~AccordionControl() = default;
    virtual void setEnabled(bool enabled, double volume) = 0;
    virtual void update(double angle, double velocity, double time) = 0;
};

// The global Escape key, held while the overlay shows.
class EscapeKeyControl {
public:
    virtual ~EscapeKeyControl() = default;
    virtual void registerKey() = 0;
    virtual void unregisterKey() = 0;
};

// The clear click and the haptic tick.
class FeedbackControl {
public:
    virtual ~FeedbackControl() = default;
    virtual void playClick(double volume) = 0;
    virtual void haptic() = 0;
};

struct Clock {
    std::function<double()> media; // monotonic seconds, the lid samples' clock
    std::function<double()> wall;  // seconds, for the preview idle rule
};

} // namespace orvane
