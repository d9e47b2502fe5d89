// SPDX-License-Identifier: MIT
// The --probe mode's one line about the lid sensor, and its exit status.
#pragma once

#include "sensor/LidSource.h"

#include <string>
#include <vector>

namespace orvane::ProbeReport {

struct Machine {
    std::string model; // "unknown" when it cannot be read
    std::string os;    // the kernel release
};

struct Result {
    std::string line; // without the final line feed
    int status = 0;
};

// `source` is the name of the source that opened, or none; `kept` holds the
// reads that returned something, in order.
Result describe(const Machine& machine, const std::optional<std::string>& source,
                const std::vector<LidReading>& kept);

} // namespace orvane::ProbeReport
