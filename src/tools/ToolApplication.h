// SPDX-License-Identifier: MIT
// The application object of a tool run that draws widgets: a ToolGui whose
// application is a QApplication, on Qt's offscreen platform, so nothing is
// shown and no display is needed.
#pragma once

#include "offscreen/linux/Label.h"

namespace orvane {

class ToolApplication : public ToolGui {
public:
    ToolApplication();
};

} // namespace orvane
