// SPDX-License-Identifier: MIT
#include "windows/BellowsIcon.h"

#include "app/StatusItemModel.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace orvane::BellowsIcon {

namespace {

// Tray hosts show our pixels as they are; none tints an icon to suit its
// panel. So the strokes contrast with the panel's tone where it is known, and
// carry a soft halo of the other tone for the panels it is not.
QColor strokeColour(PanelTone tone) {
    return tone == PanelTone::dark ? QColor(0xf4, 0xf4, 0xf4) : QColor(0x1d, 0x1d, 0x1f);
}
QColor haloColour(PanelTone tone) {
    return tone == PanelTone::dark ? QColor(0, 0, 0, 150) : QColor(255, 255, 255, 150);
}
// Added to each stroke's width for its halo, in points.
constexpr double haloSpread = 1.2;

const qreal ratios[] = {1, 2};

// The system's green, a secondary grey and the system's orange.
QColor dotColour(DotColor color) {
    switch (color) {
    case DotColor::green:
        return {0x34, 0xc7, 0x59};
    case DotColor::grey:
        return {0x8e, 0x8e, 0x93};
    case DotColor::amber:
        return {0xff, 0x95, 0x00};
    }
    return {0x8e, 0x8e, 0x93};
}
constexpr double dotInset = 0.5;

QImage canvas(QSize points, qreal ratio) {
    QImage image(std::lround(points.width() * ratio), std::lround(points.height() * ratio),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

QPainterPath path(const IconStroke& stroke) {
    QPainterPath line(QPointF(stroke.points.front().x, stroke.points.front().y));
    for (std::size_t i = 1; i < stroke.points.size(); ++i) {
        line.lineTo(stroke.points[i].x, stroke.points[i].y);
    }
    return line;
}

QIcon iconOf(const auto& draw) {
    QIcon icon;
    for (const qreal ratio : ratios) {
        icon.addPixmap(QPixmap::fromImage(draw(ratio)));
    }
    return icon;
}

} // namespace

QImage image(double angle, IconVariant variant, qreal devicePixelRatio, PanelTone tone) {
    const BellowsDrawing drawing = bellowsDrawing(angle, variant);
    // Drawn whole first, so that a faded icon fades as one rather than stroke by stroke.
    QImage layer = canvas(size, devicePixelRatio);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        // The drawing's y runs upward; the image's downward.
        painter.translate(0, size.height());
        painter.scale(1, -1);
        for (const bool halo : {true, false}) {
            for (const IconStroke& stroke : drawing.strokes) {
                painter.setPen(QPen(halo ? haloColour(tone) : strokeColour(tone),
                                    stroke.width + (halo ? haloSpread : 0), Qt::SolidLine,
                                    Qt::RoundCap, Qt::RoundJoin));
                painter.drawPath(path(stroke));
            }
        }
    }
    if (drawing.opacity >= 1) {
        return layer;
    }
    QImage out = canvas(size, devicePixelRatio);
    {
        QPainter painter(&out);
        painter.setOpacity(drawing.opacity);
        painter.drawImage(QPointF(0, 0), layer);
    }
    return out;
}

QIcon icon(double angle, IconVariant variant, PanelTone tone) {
    return iconOf([&](qreal ratio) { return image(angle, variant, ratio, tone); });
}

QImage dotImage(DotColor color, qreal devicePixelRatio) {
    QImage out = canvas(dotSize, devicePixelRatio);
    {
        QPainter painter(&out);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(dotColour(color));
        painter.drawEllipse(
            QRectF(QPointF(0, 0), dotSize).adjusted(dotInset, dotInset, -dotInset, -dotInset));
    }
    return out;
}

QIcon dotIcon(DotColor color) {
    QIcon icon = iconOf([&](qreal ratio) { return dotImage(color, ratio); });
    // The status line is a disabled item, and its dot keeps its colour there.
    for (const qreal ratio : ratios) {
        icon.addPixmap(QPixmap::fromImage(dotImage(color, ratio)), QIcon::Disabled);
    }
    return icon;
}

} // namespace orvane::BellowsIcon
