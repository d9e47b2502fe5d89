// SPDX-License-Identifier: MIT
// Whether the current lid reading may set the clear angle, and the clear
// angle such a reading stores.
#pragma once

#include <optional>

namespace orvane::LidCalibration {

bool isPlausible(bool open, bool readsOnlyZero, std::optional<double> angle);

// The clear angle stored for a lid held at `angle`: a little below it, within
// the clear-angle limits.
double storedValue(double angle);

} // namespace orvane::LidCalibration
