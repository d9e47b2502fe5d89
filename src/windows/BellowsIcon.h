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

// `size` times the ratio in pixels, carrying the ratio.
QImage image(double angle, IconVariant variant, qreal devicePixelRatio);
// At 1x and 2x.
QIcon icon(double angle, IconVariant variant);

QImage dotImage(DotColor color, qreal devicePixelRatio);
QIcon dotIcon(DotColor color);

} // namespace orvane::BellowsIcon
