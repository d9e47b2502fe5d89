// SPDX-License-Identifier: MIT
// The machine's heat from the kernel's thermal zones under a sysfs root. The
// zones send no events: the owner polls every few seconds, and a change is
// told to the listener.
#pragma once

#include "system/SystemFacts.h"
#include "system/ThermalZones.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace orvane {

class ThermalMonitor {
public:
    ThermalMonitor(std::filesystem::path sysfsRoot, SystemEventsListener& listener);

    // Reads the zones without telling anyone: the state at start.
    void start();
    void poll();
    ThermalState state() const { return state_; }

    // Every zone whose temperature could be read, with the trip points that could.
    static std::vector<ThermalZones::Zone> readZones(const std::filesystem::path& sysfsRoot);

private:
    std::filesystem::path root_;
    SystemEventsListener& listener_;
    ThermalState state_ = ThermalState::nominal;
};

} // namespace orvane
