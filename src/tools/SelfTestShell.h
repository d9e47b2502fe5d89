// SPDX-License-Identifier: MIT
// The self-check's groups that need the platform: OpenGL, the status item's
// icon, the screenshots and the settings window. They run after the pure ones,
// inside the tool's offscreen application.
#pragma once

#include "selfcheck/SelfChecks.h"

namespace orvane {

std::vector<SelfCheckGroup> shellSelfCheckGroups();

} // namespace orvane
