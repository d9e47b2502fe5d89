// SPDX-License-Identifier: MIT
// Draws a cover's dressing over the parked frame: the dim, the veil's frost
// and the clocks, in the user's locale.
#pragma once

#include "cover/CoverHost.h"

#include <QImage>
#include <QSize>
#include <QString>

class QPainter;

namespace orvane {

class CoverPainter {
public:
    void paint(QPainter& painter, QSize pixels, const CoverDressing& dressing,
               double devicePixelRatio);

    // Every glyph the clocks draw, in both clocks' faces, over the cover's dim
    // on a mid-grey screen: how the digits look, for the screenshots.
    static QImage glyphStrip(double devicePixelRatio);

    // The clocks' texts for a wall time in seconds since the epoch.
    static QString timeText(double now);
    static QString dateText(double now);

private:
    const QImage& frost(double level);

    QImage frost_;
    double frostLevel_ = -1; // no frost drawn yet
};

} // namespace orvane
