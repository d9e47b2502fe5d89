// SPDX-License-Identifier: MIT
// Process exit statuses of the tool modes.
#pragma once

namespace orvane::ExitStatus {

inline constexpr int success = 0;
inline constexpr int failure = 1; // the work itself failed
inline constexpr int usage = 2;   // the arguments were wrong
inline constexpr int noSensor = 3;

} // namespace orvane::ExitStatus
