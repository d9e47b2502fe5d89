// SPDX-License-Identifier: MIT
// Ends a manual preview by itself after a spell without user interaction.
#pragma once

#include "core/Tuning.h"

namespace orvane::PreviewAutoOff {

// Times are wall-clock seconds. True once the preview has been idle for at
// least `timeout`.
bool shouldEnd(double lastInteraction, double now, double timeout = Tuning::previewIdleTimeout);

} // namespace orvane::PreviewAutoOff
