// SPDX-License-Identifier: MIT
// The about panel: the application's name and four lines of credits, no version.
#pragma once

#include <QString>

namespace orvane::AboutPanel {

// Four lines, separated by newlines.
QString creditsText();
// Opens the panel, or brings the open one to the front.
void show();

} // namespace orvane::AboutPanel
