// SPDX-License-Identifier: MIT
// The screens of the session the application runs in, for choosing the
// built-in one: RandR's outputs on X11, Qt's screens elsewhere (on Wayland
// their names are the connectors' names; their rectangles are in Qt's
// device-independent pixels and they have no connector type).
#pragma once

#include "capture/BuiltInDisplay.h"

#include <vector>

namespace orvane {

std::vector<BuiltInDisplay::Screen> sessionScreens();

} // namespace orvane
