// SPDX-License-Identifier: MIT
#include "sensor/ProbeReport.h"

#include "core/ExitStatus.h"

#include <algorithm>
#include <cstdio>

namespace orvane::ProbeReport {

Result describe(const Machine& machine, const std::optional<std::string>& source,
                const std::vector<LidReading>& kept) {
    const std::string head = "model=" + machine.model + " os=" + machine.os;
    if (!source) {
        return {head + " sensor=no angle=- raw=- source=none note=device not found or cannot be "
                       "opened",
                ExitStatus::noSensor};
    }
    const std::string via = " source=" + *source;
    if (kept.empty()) {
        return {head + " sensor=yes angle=- raw=-" + via +
                    " note=device opened but every report read failed",
                ExitStatus::noSensor};
    }
    const std::string raw = kept.back().raw;
    const auto decoded = std::find_if(kept.rbegin(), kept.rend(),
                                      [](const LidReading& r) { return r.angle.has_value(); });
    if (decoded == kept.rend()) {
        return {head + " sensor=yes angle=- raw=" + raw + via +
                    " note=reports read but none parsed as a plausible angle",
                ExitStatus::noSensor};
    }
    char angle[32];
    std::snprintf(angle, sizeof angle, "%.1f", *decoded->angle);
    const bool allZero =
        std::all_of(kept.begin(), kept.end(), [](const LidReading& r) { return r.zero; });
    const std::string note =
        allZero ? "reads 0 on every sample; lid closed or sensor unreadable" : "ok";
    return {head + " sensor=yes angle=" + angle + " raw=" + raw + via + " note=" + note,
            ExitStatus::success};
}

} // namespace orvane::ProbeReport
