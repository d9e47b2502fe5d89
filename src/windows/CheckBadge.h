// SPDX-License-Identifier: MIT
// The round check mark the welcome and settings windows put on what is chosen
// or granted, drawn as a shape so it stays sharp at any scale.
#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace orvane {

inline void drawCheckBadge(QPainter& p, QPointF centre, qreal radius, const QPalette& palette) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette.color(QPalette::Highlight));
    p.drawEllipse(centre, radius, radius);
    // The tick in tenths of the radius.
    const qreal u = radius / 10;
    QPainterPath tick;
    tick.moveTo(centre + QPointF(-4.5 * u, 0.2 * u));
    tick.lineTo(centre + QPointF(-1.2 * u, 3.5 * u));
    tick.lineTo(centre + QPointF(4.8 * u, -3.2 * u));
    p.setPen(QPen(palette.color(QPalette::HighlightedText), 2 * u, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    p.restore();
}

} // namespace orvane
