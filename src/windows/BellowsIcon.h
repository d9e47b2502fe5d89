// SPDX-License-Identifier: MIT
// The status item's bellows icon and the status line's coloured dot, drawn
// with QPainter at a device pixel ratio.
#pragma once

#include "core/Availability.h"

#include <QIcon>
#include <QImage>
#include <QSize>

namespace orvane::BellowsIcon {

// In device-independent pixels.
inline constexpr QSize size{16, 14};
inline constexpr QSize dotSize{8, 8};

// The panel behind the icon: light strokes over a dark halo carry a dark one, dark
// strokes over a light halo a light one.
enum class PanelTone { dark, light };

// `size` times the ratio in pixels, carrying the ratio.
QImage image(double angle, IconVariant variant, qreal devicePixelRatio,
             PanelTone tone = PanelTone::dark);
// At 1x and 2x.
QIcon icon(double angle, IconVariant variant, PanelTone tone = PanelTone::dark);

QImage dotImage(DotColor color, qreal devicePixelRatio);
QIcon dotIcon(DotColor color);

} // namespace orvane::BellowsIcon
