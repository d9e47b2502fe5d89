// SPDX-License-Identifier: MIT
#include "cover/linux/CoverPainter.h"

#include "core/Tuning.h"
#include "cover/VeilFrost.h"

#include <QDateTime>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>

#include <cmath>
#include <numbers>
#include <vector>

namespace orvane {
namespace {

// Sizes in points; a point is one logical pixel, devicePixelRatio device pixels.
constexpr double smallClockPoints = 32.0;
constexpr double smallClockTopOffset = 16.0;
constexpr double bigClockHeightShare = 0.18;
constexpr double dateSpacingPoints = 12.0;
// A title font against the system font.
constexpr double titleFontScale = 1.6;
constexpr double dateOpacity = 0.7;
constexpr double shadowOpacity = 0.35;
constexpr double shadowBlurPoints = 6.0;
// The glyph strip: its screen's grey, its margin and the big face's height, in points.
constexpr int glyphScreenGrey = 128;
constexpr double glyphMarginPoints = 24.0;
constexpr double glyphBigPoints = 120.0;
const QString clockGlyphs = QStringLiteral("0123456789:");

QDateTime localTime(double now) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(now * 1000.0)));
}

QFont systemFontAt(double pixels, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    font.setWeight(weight);
    return font;
}

// The system font's size in points; some platforms give it only in pixels.
double systemFontPoints() {
    const QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    return font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize();
}

// A soft shadow: the text drawn in black at offsets over a disc of the blur
// radius, faint enough each time that the stack reaches the shadow's opacity.
void drawShadowedText(QPainter& painter, const QRectF& box, const QString& text, double blur) {
    std::vector<QPointF> offsets{{0, 0}};
    for (const double radius : {blur / 3.0, 2.0 * blur / 3.0, blur}) {
        for (int i = 0; i < 8; ++i) {
            const double angle = i * std::numbers::pi / 4.0;
            offsets.emplace_back(radius * std::cos(angle), radius * std::sin(angle));
        }
    }
    // Per draw, so that all of them over one spot make the shadow's opacity.
    const double each = 1.0 - std::pow(1.0 - shadowOpacity, 1.0 / 6.0);
    painter.save();
    painter.setPen(Qt::black);
    painter.setOpacity(each);
    for (const QPointF& offset : offsets) {
        painter.drawText(box.translated(offset), Qt::AlignHCenter | Qt::AlignTop, text);
    }
    painter.restore();
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, text);
}

void paintSmallClock(QPainter& painter, QSize pixels, double now, double ratio) {
    const QFont font = systemFontAt(smallClockPoints * ratio, QFont::Normal);
    painter.setFont(font);
    const double top = pixels.height() / 6.0 - smallClockTopOffset * ratio;
    const QRectF box(0, top, pixels.width(), QFontMetricsF(font).height());
    drawShadowedText(painter, box, CoverPainter::timeText(now), shadowBlurPoints * ratio);
}

void paintBigClock(QPainter& painter, QSize pixels, double now, double ratio) {
    const QFont timeFont = systemFontAt(pixels.height() * bigClockHeightShare, QFont::Light);
    const QFont dateFont = systemFontAt(systemFontPoints() * titleFontScale * ratio, QFont::Normal);
    const double timeHeight = QFontMetricsF(timeFont).height();
    const double dateHeight = QFontMetricsF(dateFont).height();
    const double spacing = dateSpacingPoints * ratio;
    const double top = (pixels.height() - (timeHeight + spacing + dateHeight)) / 2.0;

    painter.setPen(Qt::white);
    painter.setFont(timeFont);
    painter.drawText(QRectF(0, top, pixels.width(), timeHeight), Qt::AlignHCenter | Qt::AlignTop,
                     CoverPainter::timeText(now));
    painter.save();
    painter.setOpacity(dateOpacity);
    painter.setFont(dateFont);
    painter.drawText(QRectF(0, top + timeHeight + spacing, pixels.width(), dateHeight),
                     Qt::AlignHCenter | Qt::AlignTop, CoverPainter::dateText(now));
    painter.restore();
}

// Hours and minutes only: some locales' short time formats carry seconds,
// which a clock that moves on each minute must not show.
QString withoutSeconds(const QString& format) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && (c == QLatin1Char('s') || c == QLatin1Char('z'))) {
            if (!out.isEmpty() &&
                (out.back() == QLatin1Char(':') || out.back() == QLatin1Char('.'))) {
                out.chop(1);
            }
            continue;
        }
        out.append(c);
    }
    return out;
}

} // namespace

QString CoverPainter::timeText(double now) {
    const QLocale locale = QLocale::system();
    return locale.toString(localTime(now).time(),
                           withoutSeconds(locale.timeFormat(QLocale::ShortFormat)));
}

// The locale's long date without its year, so weekday, month and day keep the
// locale's order and words; a numeric month becomes the month's name
// (which carries its own 月 or 월).
QString CoverPainter::dateText(double now) {
    const QLocale locale = QLocale::system();
    QString format = locale.dateFormat(QLocale::LongFormat);
    // The year with the words and marks that belong to it: "'de' yyyy", "yyyy 'г'.", "yyyy年".
    static const QRegularExpression trailingYear(
        QStringLiteral("[\\s,.،/-]*('[^']*'\\s*)?y+\\s*('[^']*')?\\.?\\s*$"));
    static const QRegularExpression leadingYear(QStringLiteral("^y+[年년.]?\\s*"));
    static const QRegularExpression anyYear(QStringLiteral("[\\s,]*y+[年년]?"));
    static const QRegularExpression loose(QStringLiteral("^[\\s,.،/-]+|[\\s,،/-]+$"));
    static const QRegularExpression numericMonth(QStringLiteral("(?<!M)M{1,3}(?!M)[月월]?"));
    format.remove(trailingYear);
    format.remove(leadingYear);
    format.remove(anyYear);
    format.remove(loose);
    format.replace(numericMonth, QStringLiteral("MMMM"));
    if (!format.contains(QStringLiteral("MMMM")) || !format.contains(QStringLiteral("dddd"))) {
        format = QStringLiteral("dddd, MMMM d");
    }
    return locale.toString(localTime(now).date(), format);
}

QImage CoverPainter::glyphStrip(double ratio) {
    const QFont big = systemFontAt(glyphBigPoints * ratio, QFont::Light);
    const QFont small = systemFontAt(smallClockPoints * ratio, QFont::Normal);
    const QString spaced = clockGlyphs.split(QString()).join(QLatin1Char(' ')).trimmed();
    const double margin = glyphMarginPoints * ratio;
    const QSizeF bigSize = QFontMetricsF(big).size(Qt::TextSingleLine, spaced);
    const QSizeF smallSize = QFontMetricsF(small).size(Qt::TextSingleLine, spaced);
    QImage strip(static_cast<int>(std::ceil(bigSize.width() + 2 * margin)),
                 static_cast<int>(std::ceil(bigSize.height() + smallSize.height() + 3 * margin)),
                 QImage::Format_ARGB32_Premultiplied);
    strip.fill(QColor(glyphScreenGrey, glyphScreenGrey, glyphScreenGrey));
    QPainter painter(&strip);
    painter.fillRect(QRectF(QPointF(), QSizeF(strip.size())),
                     QColor::fromRgbF(0, 0, 0, static_cast<float>(Tuning::coverClockDim)));
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(Qt::white);
    painter.setFont(big);
    painter.drawText(QRectF(0, margin, strip.width(), bigSize.height()),
                     Qt::AlignHCenter | Qt::AlignTop, spaced);
    painter.setFont(small);
    drawShadowedText(painter,
                     QRectF(0, bigSize.height() + 2 * margin, strip.width(), smallSize.height()),
                     spaced, shadowBlurPoints * ratio);
    return strip;
}

const QImage& CoverPainter::frost(double level) {
    if (frost_.isNull() || level != frostLevel_) {
        const std::vector<std::uint8_t> bytes = frostPixels(level);
        frost_ = QImage(bytes.data(), frostWidth, frostHeight, frostBytesPerRow,
                        QImage::Format_RGBA8888_Premultiplied)
                     .copy();
        frostLevel_ = level;
    }
    return frost_;
}

void CoverPainter::paint(QPainter& painter, QSize pixels, const CoverDressing& dressing,
                         double devicePixelRatio) {
    painter.save();
    const QRectF whole(QPointF(0, 0), QSizeF(pixels));
    const double dim =
        dressing.mode == CoverMode::clock ? Tuning::coverClockDim : Tuning::coverVeilDim;
    painter.fillRect(whole, QColor::fromRgbF(0, 0, 0, static_cast<float>(dim)));

    if (dressing.mode == CoverMode::veil) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(whole, frost(dressing.veilLevel));
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        paintSmallClock(painter, pixels, dressing.now, devicePixelRatio);
    } else if (dressing.mode == CoverMode::clock) {
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        paintBigClock(painter, pixels, dressing.now, devicePixelRatio);
    }
    painter.restore();
}

} // namespace orvane
