// SPDX-License-Identifier: MIT
#include "offscreen/linux/CannedDesktop.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {

// Lengths are laid out for a 1512-pixel-wide screen and scale with the width.
constexpr double designWidth = 1512;

QColor rgb(double r, double g, double b, double a = 1) {
    return QColor::fromRgbF(r, g, b, a);
}

// The layout is told with the origin at the bottom left; Qt's is at the top.
class Canvas {
public:
    Canvas(QPainter& painter, double height) : painter_(painter), height_(height) {}
    QRectF rect(double x, double y, double w, double h) const { return {x, height_ - y - h, w, h}; }
    QPainter& painter() { return painter_; }

private:
    QPainter& painter_;
    double height_;
};

// A soft shadow of a rounded rectangle: its alpha mask blurred by three box
// passes, which approximates a Gaussian and stays deterministic.
QImage shadowOf(const QSizeF& size, double radius, double blur) {
    const int margin = static_cast<int>(std::ceil(blur * 2));
    const int w = static_cast<int>(std::ceil(size.width())) + 2 * margin;
    const int h = static_cast<int>(std::ceil(size.height())) + 2 * margin;
    std::vector<float> mask(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0.0f);
    {
        QImage shape(w, h, QImage::Format_Alpha8);
        shape.fill(0);
        QPainter p(&shape);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(margin, margin, size.width(), size.height()), radius, radius);
        p.end();
        for (int y = 0; y < h; ++y) {
            const uchar* row = shape.constScanLine(y);
            for (int x = 0; x < w; ++x) {
                mask[static_cast<std::size_t>(y * w + x)] = static_cast<float>(row[x]) / 255.0f;
            }
        }
    }
    // Three box passes of this half-width give a Gaussian of sigma about blur / 2.
    const int boxRadius = std::max(1, static_cast<int>(std::lround(blur * 0.5)));
    std::vector<float> scratch(mask.size());
    const auto pass = [&](bool horizontal) {
        const int length = horizontal ? w : h;
        const int lines = horizontal ? h : w;
        for (int line = 0; line < lines; ++line) {
            const auto at = [&](int i) -> std::size_t {
                return horizontal ? static_cast<std::size_t>(line * w + i)
                                  : static_cast<std::size_t>(i * w + line);
            };
            float sum = 0;
            for (int i = -boxRadius; i <= boxRadius; ++i) {
                sum += (i >= 0 && i < length) ? mask[at(i)] : 0.0f;
            }
            for (int i = 0; i < length; ++i) {
                scratch[at(i)] = sum / static_cast<float>(2 * boxRadius + 1);
                const int leaving = i - boxRadius;
                const int entering = i + boxRadius + 1;
                sum -= (leaving >= 0) ? mask[at(leaving)] : 0.0f;
                sum += (entering < length) ? mask[at(entering)] : 0.0f;
            }
        }
        mask.swap(scratch);
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    QImage shadow(w, h, QImage::Format_Alpha8);
    for (int y = 0; y < h; ++y) {
        uchar* row = shadow.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const float value = std::clamp(mask[static_cast<std::size_t>(y * w + x)], 0.0f, 1.0f);
            row[x] = static_cast<uchar>(std::lround(value * 255.0f));
        }
    }
    return shadow;
}

void drawWindow(Canvas& canvas, QRectF frame, double s, int maxLines, int phase) {
    QPainter& p = canvas.painter();
    const double radius = 10 * s;

    const QImage shadow = shadowOf(frame.size(), radius, 18 * s);
    const double margin = (shadow.width() - std::ceil(frame.width())) / 2.0;
    p.save();
    p.setOpacity(0.45);
    // An alpha mask draws in the pen colour: black.
    QImage tinted(shadow.size(), QImage::Format_ARGB32_Premultiplied);
    tinted.fill(Qt::black);
    {
        QPainter mask(&tinted);
        mask.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        mask.drawImage(0, 0, shadow);
    }
    p.drawImage(QPointF(frame.x() - margin, frame.y() - margin + 8 * s), tinted);
    p.restore();

    QPainterPath body;
    body.addRoundedRect(frame, radius, radius);
    p.fillPath(body, rgb(0.93, 0.93, 0.95));

    const double titleHeight = 28 * s;
    QPainterPath strip;
    strip.addRect(QRectF(frame.x(), frame.y(), frame.width(), titleHeight));
    p.fillPath(body.intersected(strip), rgb(0.82, 0.82, 0.85));

    const std::array<QColor, 3> lights{rgb(0.98, 0.38, 0.34), rgb(0.97, 0.75, 0.18),
                                       rgb(0.27, 0.78, 0.25)};
    const double middle = frame.y() + titleHeight / 2;
    for (std::size_t i = 0; i < lights.size(); ++i) {
        p.setBrush(lights[i]);
        p.drawEllipse(QPointF(frame.x() + 16 * s * static_cast<double>(i + 1), middle), 5 * s,
                      5 * s);
    }

    p.setBrush(rgb(0.68, 0.68, 0.72));
    const double lineHeight = 8 * s;
    const double usable = frame.width() - 36 * s;
    const double lowest = frame.bottom() - 12 * s;
    for (int i = 0; i < maxLines; ++i) {
        const double bottom = frame.y() + titleHeight + 22 * s + 20 * s * i;
        if (i > 0 && bottom > lowest) {
            break;
        }
        const double k = i + phase;
        const double width = (0.55 + 0.35 * std::abs(std::sin(1.7 * k))) * usable;
        p.drawRoundedRect(QRectF(frame.x() + 18 * s, bottom - lineHeight, width, lineHeight), 4 * s,
                          4 * s);
    }
}

void drawDesktop(QImage& image, const std::optional<QImage>& background) {
    const double W = image.width();
    const double H = image.height();
    const double s = W / designWidth;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setPen(Qt::NoPen);
    Canvas canvas(p, H);

    if (background && !background->isNull()) {
        const double scale = std::max(W / background->width(), H / background->height());
        const QSizeF size(background->width() * scale, background->height() * scale);
        p.drawImage(QRectF(QPointF((W - size.width()) / 2, (H - size.height()) / 2), size),
                    *background);
    } else {
        QLinearGradient gradient(0, 0, 0, H);
        gradient.setColorAt(0, rgb(0.24, 0.31, 0.44));
        gradient.setColorAt(1, rgb(0.09, 0.12, 0.21));
        p.fillRect(QRectF(0, 0, W, H), gradient);
    }

    // Menu bar and its titles.
    const double barHeight = 48 * s;
    p.fillRect(canvas.rect(0, H - barHeight, W, barHeight), rgb(0.12, 0.12, 0.14, 0.85));
    const QColor title = rgb(0.75, 0.75, 0.78);
    const double titleTop = barHeight / 2 - 3.5 * s;
    double x = 18 * s;
    for (double width : {16, 41, 34, 27, 42, 35, 28, 43, 36}) {
        p.fillRect(QRectF(x, titleTop, width * s, 7 * s), title);
        x += (width + 16) * s;
    }
    x = W - 18 * s;
    for (double width : {14, 17, 20, 23, 16}) {
        x -= width * s;
        p.fillRect(QRectF(x, titleTop, width * s, 7 * s), title);
        x -= 12 * s;
    }

    drawWindow(canvas, canvas.rect(0.1 * W, 0.3 * H, 0.46 * W, 0.44 * H), s, 9, 3);
    drawWindow(canvas, canvas.rect(0.4 * W, 0.12 * H, 0.48 * W, 0.46 * H), s, 7, 11);

    // Dock: nine icons whose colours run through a spread of hues.
    constexpr int icons = 9;
    const double icon = 44 * s;
    const double gap = 10 * s;
    const double row = icons * icon + (icons - 1) * gap;
    const double dockWidth = row + 24 * s;
    const double dockHeight = icon + 12 * s;
    const QRectF dock = canvas.rect((W - dockWidth) / 2, 6 * s, dockWidth, dockHeight);
    p.setBrush(rgb(1, 1, 1, 0.18));
    p.drawRoundedRect(dock, 14 * s, 14 * s);
    for (int i = 0; i < icons; ++i) {
        const double phase = std::numbers::pi * i / icons;
        p.setBrush(rgb(0.45 + 0.5 * std::abs(std::sin(phase)),
                       0.45 + 0.5 * std::abs(std::sin(phase + 2.1)),
                       0.45 + 0.5 * std::abs(std::sin(phase + 4.2))));
        const QRectF square(dock.x() + 12 * s + i * (icon + gap), dock.y() + 6 * s, icon, icon);
        p.drawRoundedRect(square, 10 * s, 10 * s);
    }
}

} // namespace

CannedDesktop::CannedDesktop(int width, int height, const std::optional<QImage>& background)
    : width_(std::max(width, 1)), height_(std::max(height, 1)) {
    QImage image(width_, height_, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    drawDesktop(image, background);
    bytes_.resize(static_cast<std::size_t>(bytesPerRow()) * static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y) {
        std::copy_n(image.constScanLine(y), bytesPerRow(),
                    bytes_.begin() + static_cast<std::ptrdiff_t>(y * bytesPerRow()));
    }
}

} // namespace orvane
