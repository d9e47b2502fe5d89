// SPDX-License-Identifier: MIT
// The machine's heat from the kernel's thermal zones under a sysfs root,
// read every few seconds (they send no events); a change is told to the listener.
#pragma once

#include "core/Scheduler.h"
#include "effect/EffectPorts.h"
#include "effect/ThermalZones.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace orvane {

class ThermalMonitor {
public:
    ThermalMonitor(std::filesystem::path sysfsRoot, Scheduler& scheduler,
                   SystemEventsListener& listener);
    ~ThermalMonitor();
    ThermalMonitor(const ThermalMonitor&) = delete;
    ThermalMonitor& operator=(const ThermalMonitor&) = delete;

    // Reads the zones now and then on every poll.
    void start();
    ThermalState state() const { return state_; }

    // Every zone whose temperature could be read, with the trip points that could.
    static std::vector<ThermalZones::Zone> readZones(const std::filesystem::path& sysfsRoot);

private:
    void poll();

    std::filesystem::path root_;
    Scheduler& scheduler_;
    SystemEventsListener& listener_;
    ThermalState state_ = ThermalState::nominal;
    std::optional<Scheduler::Handle> timer_;
};

} // namespace orvane
