// SPDX-License-Identifier: MIT
// What the fold costs KWin, in a headless KWin on this machine's GPU (llvmpipe
// here): a window that redraws at every frame KWin composes counts KWin's
// frames a second without a fold and while the effect folds at 60 updates a
// second, so the frame times and their ratio come from one run; then the delay
// from an update sent to the first screenshot that shows it, beside a
// screenshot's own round trip. Prints figures only.
#include "display/FoldContract.h"
#include "platform/MonotonicClock.h"
#include "support/KWinSession.h"

#include "foldinterface.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace orvane;

namespace {

constexpr int width = 1280;
constexpr int height = 800;
constexpr double secondsPerPhase = 4.0;

void runFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// Draws whenever KWin is ready for its next frame, so its draws count KWin's frames.
class Ticker : public QRasterWindow {
public:
    int frames = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(0, 0, width(), height(), QColor::fromHsv((frames * 3) % 360, 160, 220));
        painter.fillRect(width() / 4, height() / 4, width() / 2, height() / 2, Qt::white);
        ++frames;
        // Asked after the paint: a request made within it is dropped.
        QTimer::singleShot(0, this, [this] { update(); });
    }
};

double meanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    const int step = 8; // a coarse grid is enough to tell two angles apart
    int count = 0;
    for (int y = 0; y < a.height(); y += step) {
        for (int x = 0; x < a.width(); x += step, ++count) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * 255.0 * count);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const test::ScopedEnv plugins("QT_PLUGIN_PATH", ORVANE_PLUGIN_DIR);
    test::KWinSession kwin(width, height);
    QGuiApplication application(argc, argv);
    const QDBusMessage loaded = kwin.buses().call(
        test::Bus::session, QStringLiteral("org.kde.KWin"), QStringLiteral("/Effects"),
        QStringLiteral("org.kde.kwin.Effects"), QStringLiteral("loadEffect"),
        {QString::fromUtf8(FoldContract::kwinEffectId)});
    if (!loaded.arguments().value(0).toBool()) {
        std::fprintf(stderr, "KWin did not load the effect\n");
        return 1;
    }
    FoldInterface fold(QString::fromUtf8(FoldContract::busName),
                       QString::fromUtf8(FoldContract::objectPath),
                       kwin.buses().connection(test::Bus::session));
    std::printf("compositor: %s\n", fold.compositor().toUtf8().constData());

    Ticker ticker;
    ticker.showFullScreen();
    runFor(1.0);

    const auto rate = [&](const char* label) {
        const int before = ticker.frames;
        QElapsedTimer clock;
        clock.start();
        runFor(secondsPerPhase);
        const double seconds = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
        const double perSecond = (ticker.frames - before) / seconds;
        std::printf("%-24s %6.1f frames/s  %6.2f ms/frame\n", label, perSecond, 1000.0 / perSecond);
        return perSecond;
    };
    const double plain = rate("without a fold");

    const FoldContract::WireLook look = FoldContract::toWire(FoldLook::tools());
    fold.Begin(QStringLiteral("Virtual-0"), QString::fromStdString(look.style), look.perspective,
               look.blur, look.shadow, look.clearAngle, look.reduceMotion)
        .waitForFinished();
    QTimer updates;
    double phase = 0;
    QObject::connect(&updates, &QTimer::timeout, [&] {
        phase += 1.0 / 60.0;
        const double angle = 60 + 20 * std::sin(phase * 3);
        fold.Update(angle, true, angle, 60 * std::cos(phase * 3), 1, monotonicSeconds() + 1.0 / 60);
    });
    updates.start(16);
    runFor(0.5);
    const double folding = rate("while folding");
    updates.stop();
    std::printf("frame time, folding / not: %.2f\n", plain / folding);

    // The delay: a still sheet at one angle, then another, until a screenshot shows it.
    const auto settle = [&](double angle) {
        fold.Update(angle, false, angle, 0, 1, monotonicSeconds());
        runFor(0.3);
        fold.Update(angle, false, angle, 0, 1, monotonicSeconds());
        return kwin.screenshot();
    };
    ticker.hide(); // a still desktop: only the sheet changes
    runFor(0.3);
    const QImage at50 = settle(50);
    const QImage at70 = settle(70);
    std::vector<double> roundTrips;
    std::vector<double> delays;
    for (int i = 0; i < 10; ++i) {
        const double target = i % 2 == 0 ? 50 : 70;
        const QImage& expected = i % 2 == 0 ? at50 : at70;
        double start = monotonicSeconds();
        kwin.screenshot();
        roundTrips.push_back(monotonicSeconds() - start);
        start = monotonicSeconds();
        fold.Update(target, false, target, 0, 1, start);
        for (int tries = 0; tries < 50; ++tries) {
            if (meanDifference(kwin.screenshot(), expected) < 0.002) {
                delays.push_back(monotonicSeconds() - start);
                break;
            }
            // Keeps the fold alive between tries.
            fold.Update(target, false, target, 0, 1, monotonicSeconds());
        }
    }
    fold.End().waitForFinished();
    std::printf("screenshot round trip    %6.1f ms (median of %zu)\n", median(roundTrips) * 1000,
                roundTrips.size());
    std::printf("update to screenshot     %6.1f ms (median of %zu)\n", median(delays) * 1000,
                delays.size());
    return 0;
}
