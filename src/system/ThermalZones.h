// SPDX-License-Identifier: MIT
// The machine's heat from its thermal zones: hot once any zone reaches a
// passive trip point, critical once any reaches a hot or critical one.
#pragma once

#include "system/SystemFacts.h"

#include <string>
#include <vector>

namespace orvane::ThermalZones {

struct TripPoint {
    double temperature = 0; // millidegrees Celsius, as the kernel gives it
    std::string type;       // "critical", "hot", "passive" or "active"
};

struct Zone {
    double temperature = 0; // millidegrees Celsius
    std::vector<TripPoint> trips;
};

ThermalState classify(const std::vector<Zone>& zones);

} // namespace orvane::ThermalZones
