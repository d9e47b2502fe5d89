// SPDX-License-Identifier: MIT
// The desktop's wallpaper, for the pictures of the fold the settings show: GNOME's (through
// the desktop portal, or gsettings where there is no portal), KDE Plasma's or XFCE's.
#pragma once

#include <QImage>

#include <optional>

namespace orvane {

// None when no desktop names a readable image file. Blocks on D-Bus and files: call it
// off the main thread where a delay matters.
std::optional<QImage> loadWallpaper();

// From now on, loadWallpaper finds none: the screenshots show the sample desktop's own
// background, the same on every machine, and never the user's picture.
void ignoreUserWallpaper();

} // namespace orvane
