// SPDX-License-Identifier: MIT
// The --probe mode: opens the lid sensor, reads it a few times and prints one
// line about it.
#pragma once

namespace orvane::ProbeMode {

// Returns the process exit status.
int run();

} // namespace orvane::ProbeMode
