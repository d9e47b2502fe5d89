// SPDX-License-Identifier: MIT
#include "system/ThermalZones.h"

#include <cmath>

namespace orvane::ThermalZones {

ThermalState classify(const std::vector<Zone>& zones) {
    ThermalState state = ThermalState::nominal;
    for (const Zone& zone : zones) {
        for (const TripPoint& trip : zone.trips) {
            // A trip point of 0 or less is one the firmware left unset.
            if (!std::isfinite(trip.temperature) || trip.temperature <= 0 ||
                !(zone.temperature >= trip.temperature)) {
                continue;
            }
            if (trip.type == "critical" || trip.type == "hot") {
                return ThermalState::critical;
            }
            if (trip.type == "passive") {
                state = ThermalState::serious;
            }
        }
    }
    return state;
}

} // namespace orvane::ThermalZones
