// SPDX-License-Identifier: MIT
// The windows' look: Qt's Fusion style with a light or a dark palette, after
// the desktop's colour scheme.
#pragma once

namespace orvane::Appearance {

// Needs a QApplication.
void apply(bool dark);

} // namespace orvane::Appearance
