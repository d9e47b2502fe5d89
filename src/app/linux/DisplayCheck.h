// SPDX-License-Identifier: MIT
// Qt ends the process when it cannot reach a display; the application checks
// first, so the user reads why in one line.
#pragma once

#include <optional>
#include <string>

namespace orvane {

// Why the application cannot show itself, or none when a display answers (or
// Qt is told which platform to use).
std::optional<std::string> displayProblem();

} // namespace orvane
