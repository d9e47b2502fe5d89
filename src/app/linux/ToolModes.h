// SPDX-License-Identifier: MIT
// Runs the tool a command-line mode names.
#pragma once

#include "app/CommandLineMode.h"

#include <string_view>

namespace orvane {

// Returns the process exit status.
int runToolMode(const CommandLineMode& mode);

// The one line a part that is not built yet answers with; returns the failure status.
int notAvailableYet(std::string_view what);

} // namespace orvane
