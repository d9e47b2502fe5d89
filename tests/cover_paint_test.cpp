// SPDX-License-Identifier: MIT
// The cover's drawing on Qt's offscreen platform: the dims, the frost, the
// clocks, and pictures of the veil and clock covers over the sample desktop.
#include "cover/linux/CoverPainter.h"
#include "offscreen/linux/CannedDesktop.h"
#include "support/ScopedEnv.h"

#include <doctest/doctest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <memory>

using namespace orvane;
using namespace orvane::test;

namespace {

QGuiApplication& app() {
    static ScopedEnv platform{"QT_QPA_PLATFORM", "offscreen"};
    static int argc = 1;
    static char name[] = "orvane_cover_paint_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application{argc, argv};
    return application;
}

CoverDressing dressing(CoverMode mode, double level) {
    return {mode, 1.7e9, level}; // a Tuesday afternoon in November 2023
}

QImage painted(QImage image, const CoverDressing& cover) {
    CoverPainter painter;
    QPainter onto(&image);
    painter.paint(onto, image.size(), cover, 1.0);
    onto.end();
    return image;
}

QImage grey(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(128, 128, 128));
    return image;
}

// Pixels in a rectangle brighter than a level, by their green channel.
int brighterThan(const QImage& image, const QRect& area, int level) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += qGreen(image.pixel(x, y)) > level ? 1 : 0;
        }
    }
    return count;
}

void save(const QImage& image, const char* name) {
    const QString folder = QStringLiteral(ORVANE_BUILD_DIR "/e2e");
    QDir().mkpath(folder);
    CHECK(image.save(folder + QLatin1Char('/') + QLatin1String(name)));
}

QImage sampleDesktop() {
    const CannedDesktop desktop(1512, 982);
    return QImage(desktop.bytes().data(), desktop.width(), desktop.height(),
                  static_cast<qsizetype>(desktop.bytesPerRow()),
                  QImage::Format_ARGB32_Premultiplied)
        .copy();
}

} // namespace

TEST_CASE("each cover dims the frame by its own amount") {
    app();
    const auto expect = [](const QImage& image, QPoint at, double dim) {
        CHECK(qRed(image.pixel(at)) == doctest::Approx(128 * (1 - dim)).epsilon(0.02));
    };
    const QImage clock = painted(grey(400, 300), dressing(CoverMode::clock, 0));
    expect(clock, {4, 4}, 0.45);
    const QImage off = painted(grey(400, 300), dressing(CoverMode::off, 0));
    expect(off, {4, 4}, 0.2);
    expect(off, {200, 150}, 0.2);
    expect(off, {200, 296}, 0.2);

    const QImage veil = painted(grey(400, 300), dressing(CoverMode::veil, 1.05));
    // The frost lies over the whole veil, brighter than the dim alone.
    const int dimmed = static_cast<int>(std::lround(128 * 0.8));
    CHECK(qRed(veil.pixel(200, 296)) > dimmed + 10);
    CHECK(qBlue(veil.pixel(200, 296)) > dimmed + 10);
    CHECK(qRed(veil.pixel(4, 296)) > dimmed + 10);
    // With no frost yet the veil is the dim alone.
    const QImage bare = painted(grey(400, 300), dressing(CoverMode::veil, 0));
    expect(bare, {200, 296}, 0.2);
}

TEST_CASE("the frost at a low level lies at the bottom only") {
    app();
    const QImage veil = painted(grey(400, 300), dressing(CoverMode::veil, 0.3));
    const int dimmed = static_cast<int>(std::lround(128 * 0.8));
    CHECK(brighterThan(veil, QRect(0, 290, 400, 10), dimmed + 3) > 200);
    CHECK(brighterThan(veil, QRect(0, 0, 30, 30), dimmed + 3) == 0);
}

TEST_CASE("the clocks draw their text where they stand") {
    app();
    const int dimmedClock = static_cast<int>(std::lround(128 * 0.55));
    const QImage clock = painted(grey(800, 500), dressing(CoverMode::clock, 0));
    CHECK(brighterThan(clock, QRect(250, 170, 300, 120), dimmedClock + 60) > 100);
    CHECK(brighterThan(clock, QRect(0, 0, 100, 100), dimmedClock + 5) == 0);

    const QImage veil = painted(grey(800, 500), dressing(CoverMode::veil, 0));
    const int dimmedVeil = static_cast<int>(std::lround(128 * 0.8));
    // The small clock's text is white at the top, its shadow darker than the dim.
    CHECK(brighterThan(veil, QRect(300, 60, 200, 50), dimmedVeil + 60) > 50);
    CHECK(brighterThan(veil, QRect(300, 200, 200, 100), dimmedVeil + 5) == 0);
    CHECK(brighterThan(veil, QRect(300, 60, 200, 50), dimmedVeil - 5) < 200 * 50);
}

TEST_CASE("the clocks' texts follow the locale's formats") {
    app();
    // Hours and minutes: the same through a minute, another the next minute.
    const double minute = 1699999980; // a full minute
    CHECK(CoverPainter::timeText(minute) == CoverPainter::timeText(minute + 59));
    CHECK(CoverPainter::timeText(minute) != CoverPainter::timeText(minute + 60));
    const QString time = CoverPainter::timeText(1.7e9);
    const QString date = CoverPainter::dateText(1.7e9);
    const QDateTime local = QDateTime::fromSecsSinceEpoch(1700000000);
    CHECK(
        time.contains(QString::number(local.time().minute()).rightJustified(2, QLatin1Char('0'))));
    CHECK(date.contains(QLocale::system().dayName(local.date().dayOfWeek())));
    CHECK(date.contains(QLocale::system().monthName(local.date().month())));
    CHECK_FALSE(date.contains(QString::number(local.date().year())));
}

TEST_CASE("pictures of the veil and clock covers over the sample desktop") {
    app();
    const QImage desktop = sampleDesktop();
    save(painted(desktop, dressing(CoverMode::veil, 1.05)), "cover-veil.png");
    save(painted(desktop, dressing(CoverMode::clock, 0)), "cover-clock.png");
    save(painted(desktop, dressing(CoverMode::veil, 0.5)), "cover-veil-half.png");
}
