// SPDX-License-Identifier: MIT
#include "platform/ThermalMonitor.h"

#include "core/Text.h"
#include "platform/SysfsFile.h"

#include <algorithm>

namespace orvane {

ThermalMonitor::ThermalMonitor(std::filesystem::path sysfsRoot, SystemEventsListener& listener)
    : root_(std::move(sysfsRoot)), listener_(listener) {}

void ThermalMonitor::start() {
    state_ = ThermalZones::classify(readZones(root_));
}

void ThermalMonitor::poll() {
    const ThermalState now = ThermalZones::classify(readZones(root_));
    if (now != state_) {
        state_ = now;
        listener_.thermalStateChanged();
    }
}

std::vector<ThermalZones::Zone> ThermalMonitor::readZones(const std::filesystem::path& sysfsRoot) {
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(sysfsRoot / "class/thermal", error)) {
        if (entry.path().filename().string().starts_with("thermal_zone")) {
            folders.push_back(entry.path());
        }
    }
    std::sort(folders.begin(), folders.end());

    const auto number = [](const std::filesystem::path& file) -> std::optional<double> {
        const std::optional<std::string> text = SysfsFile::text(file);
        return text ? parseDecimal(*text) : std::nullopt;
    };
    std::vector<ThermalZones::Zone> zones;
    for (const auto& folder : folders) {
        // A zone whose sensor sleeps cannot be read; it says nothing about the heat.
        const std::optional<double> temperature = number(folder / "temp");
        if (!temperature) {
            continue;
        }
        ThermalZones::Zone zone{*temperature, {}};
        for (int n = 0;; ++n) {
            const std::string trip = "trip_point_" + std::to_string(n);
            const std::optional<std::string> type = SysfsFile::text(folder / (trip + "_type"));
            if (!type) {
                break;
            }
            if (const std::optional<double> at = number(folder / (trip + "_temp"))) {
                zone.trips.push_back({*at, *type});
            }
        }
        zones.push_back(std::move(zone));
    }
    return zones;
}

} // namespace orvane
