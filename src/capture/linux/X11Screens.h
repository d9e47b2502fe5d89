// SPDX-License-Identifier: MIT
// The screens RandR reports as connected and lit: name, connector type,
// rectangle in root coordinates and the current mode's refresh rate.
#pragma once

#include "capture/BuiltInDisplay.h"

#include <vector>

struct _XDisplay;

namespace orvane {

// Empty without a display, or when RandR is missing or answers nothing.
std::vector<BuiltInDisplay::Screen> connectedScreens(_XDisplay* display);

} // namespace orvane
