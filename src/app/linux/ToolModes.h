// SPDX-License-Identifier: MIT
// Runs the tool a command-line mode names.
#pragma once

#include "app/CommandLineMode.h"

namespace orvane {

// Returns the process exit status.
int runToolMode(const CommandLineMode& mode);

} // namespace orvane
