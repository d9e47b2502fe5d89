// SPDX-License-Identifier: MIT
// The about panel: the application's name and four lines of credits, no version.
#pragma once

#include <QString>

class QWidget;

namespace orvane::AboutPanel {

// Four lines, separated by newlines.
QString creditsText();
// Opens the panel, or brings the open one to the front. Over `over` (the open settings
// window, which may stay on top while it holds the fold), or on its own.
void show(QWidget* over = nullptr);

} // namespace orvane::AboutPanel
