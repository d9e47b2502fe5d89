// SPDX-License-Identifier: MIT
// What the effect controller asks of the lid sensor.
#pragma once

#include "sensor/SensorRate.h"

namespace orvane {

class LidSensorControl {
public:
    virtual ~LidSensorControl() = default;
    virtual void start() = 0;
    virtual void setRate(SensorRate rate) = 0;
    // After the system wakes: close and open again.
    virtual void reopen() = 0;
};

} // namespace orvane
