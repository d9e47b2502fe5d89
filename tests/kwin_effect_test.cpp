// SPDX-License-Identifier: MIT
// The KWin effect in a real KWin: a headless KWin Wayland session loads the
// built plug-in, a window of known colours fills the output, and the test
// speaks the daemon's side of the contract through the generated proxy. The
// fold KWin composes must match the X11 renderer's for the same frame, and
// the screen must come back when the fold ends, when the frames stop, and
// whatever a stranger on the bus sends. Screenshots go to build/e2e/.
#include "app/linux/OrvaneApp.h"
#include "core/Tuning.h"
#include "display/FoldContract.h"
#include "offscreen/linux/OffscreenSession.h"
#include "platform/MonotonicClock.h"
#include "platform/SealedFile.h"
#include "settings/FoldSettings.h"
#include "settings/linux/IniSettingsStore.h"
#include "support/EventLoop.h"
#include "support/KWinSession.h"
#include "support/RunProcess.h"
#include "windows/SettingsWindow.h"

#include "foldinterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusPendingReply>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTimer>

#include <doctest/doctest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <span>
#include <string_view>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace orvane;

namespace {

constexpr int screenWidth = 1280;
constexpr int screenHeight = 800;
constexpr double frameInterval = 1.0 / 60.0;
const QString patternApp = QStringLiteral("app.orvane.Pattern");

// Colours in every part of the screen, so that any misplaced or mirrored pixel shows.
class PatternWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const int w = width();
        const int h = height();
        painter.fillRect(0, 0, w / 2, h / 2, QColor(220, 40, 40));
        painter.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(40, 180, 60));
        painter.fillRect(0, h / 2, w / 2, h - h / 2, QColor(40, 70, 220));
        painter.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(240, 210, 40));
        painter.setPen(QPen(Qt::white, 12));
        painter.drawLine(0, 0, w, h);
        painter.fillRect(w / 8, h / 10, w / 4, h / 12, Qt::black);
    }
};

// The mean difference of two pictures of one size, 0 to 1 over every channel.
double meanDifference(const QImage& a, const QImage& b) {
    REQUIRE(a.size() == b.size());
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            sum += std::abs(qRed(p[col]) - qRed(q[col])) +
                   std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
        }
    }
    return sum / (3.0 * 255.0 * x.width() * x.height());
}

QImage shot(test::KWinSession& kwin, const char* name) {
    const QImage image = kwin.screenshot();
    REQUIRE_FALSE(image.isNull());
    std::filesystem::create_directories(ORVANE_E2E_DIR);
    CHECK(image.save(QString(ORVANE_E2E_DIR "/kwin-") + name + ".png"));
    return image;
}

// The X11 renderer's picture of the same frame over the same desktop.
QImage reference(const QImage& desktop, const FoldLook& look, double angle) {
    auto session = OffscreenSession::create();
    REQUIRE(session);
    REQUIRE(session.value()->context().makeCurrent());
    const QImage pixels = desktop.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const gl::RenderTexture texture =
        gl::makeRenderTexture(pixels.width(), pixels.height(), pixels.constBits());
    RenderRequest request;
    request.look = look;
    request.angle = angle;
    request.width = pixels.width();
    request.height = pixels.height();
    auto fold = session.value()->render(
        SourceTexture{texture.texture.get(), pixels.width(), pixels.height()}, request);
    REQUIRE(fold);
    const RawImage& raw = fold.value();
    const QImage sheet(raw.bytes.data(), static_cast<int>(raw.width), static_cast<int>(raw.height),
                       static_cast<int>(raw.bytesPerRow), QImage::Format_ARGB32_Premultiplied);
    QImage out = pixels;
    QPainter(&out).drawImage(0, 0, sheet);
    return out;
}

class Driver {
public:
    explicit Driver(test::KWinSession& kwin)
        : fold_(QString::fromUtf8(FoldContract::busName),
                QString::fromUtf8(FoldContract::objectPath),
                kwin.buses().connection(test::Bus::session)) {}

    FoldInterface& fold() { return fold_; }

    QDBusError begin(const QString& output, const FoldLook& look) {
        const FoldContract::WireLook wire = FoldContract::toWire(look);
        QDBusPendingReply<> reply =
            fold_.Begin(output, QString::fromStdString(wire.style), wire.perspective, wire.blur,
                        wire.shadow, wire.clearAngle, wire.reduceMotion);
        test::spinUntil([&] { return reply.isFinished(); }, 10);
        return reply.error();
    }

    // Frames at the display's rate, each for the next frame's moment, from now until stop():
    // they go on while a screenshot is taken, which runs the events. Runs them for `seconds`.
    void sendFrames(double angle, double seconds) {
        angle_ = angle;
        if (!frames_.isActive()) {
            QObject::connect(&frames_, &QTimer::timeout, [this] {
                fold_.Update(angle_, false, angle_, 0, 1, monotonicSeconds() + frameInterval);
            });
            frames_.start(static_cast<int>(frameInterval * 1000));
        }
        test::spinFor(seconds);
    }
    void stop() {
        frames_.stop();
        frames_.disconnect();
    }

private:
    FoldInterface fold_;
    QTimer frames_;
    double angle_ = 0;
};

bool loadEffect(test::KWinSession& kwin) {
    const QDBusMessage reply = kwin.buses().call(
        test::Bus::session, QStringLiteral("org.kde.KWin"), QStringLiteral("/Effects"),
        QStringLiteral("org.kde.kwin.Effects"), QStringLiteral("loadEffect"),
        {QString::fromUtf8(FoldContract::kwinEffectId)});
    return reply.arguments().value(0).toBool();
}

// KWin with the built effect where it looks for plug-ins, and a window filling the output.
// This test program started again with ORVANE_PATTERN_WINDOW set: another client, as the
// desktop's other programs are, showing the pattern until it is ended.
const bool patternProcess = [] {
    if (std::getenv("ORVANE_PATTERN_WINDOW") == nullptr) {
        return false;
    }
    int argc = 1;
    char name[] = "orvane_pattern";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(patternApp);
    PatternWindow window;
    window.showFullScreen();
    std::exit(QGuiApplication::exec());
}();

// KWin with the built effect where it looks for plug-ins, and another client's window filling
// the first output.
struct Session {
    test::ScopedEnv plugins{"QT_PLUGIN_PATH", ORVANE_PLUGIN_DIR};
    test::KWinSession kwin;
    int argc = 1;
    char name[20] = "orvane_kwin_test";
    char* argv[2] = {name, nullptr};
    QApplication application{argc, argv};
    std::unique_ptr<test::ChildProcess> pattern;
    QImage desktop;

    explicit Session(int outputs,
                     test::KWinSession::Platform platform = test::KWinSession::Platform::wayland)
        : kwin(screenWidth, screenHeight, outputs, platform) {
        {
            const test::ScopedEnv asPattern("ORVANE_PATTERN_WINDOW", "1");
            pattern = std::make_unique<test::ChildProcess>(
                std::vector<std::string>{"/proc/self/exe"}, kwin.buses().folder() / "pattern.log");
        }
        REQUIRE(test::spinUntil(
            [&] {
                desktop = kwin.screenshot();
                return !desktop.isNull() &&
                       desktop.pixelColor(screenWidth - 8, 8) == QColor(40, 180, 60);
            },
            10));
    }
};

// Settings for a program on this KWin: past the welcome, and the virtual output, which has no
// built-in screen's name, named as the built-in one.
void saveSettings(const std::string& path) {
    IniSettingsStore store(path);
    FoldSettings settings;
    settings.hasCompletedOnboarding = true;
    settings.builtInScreen = QGuiApplication::primaryScreen()->name().toStdString();
    REQUIRE(settings.save(store) == StoreStatus::ok);
}

// Whether the screen comes to differ from `desktop` by more than `above` (folded) or by less
// than `below` (clear) within `seconds`; the last screenshot in `last`.
bool screenBecomes(test::KWinSession& kwin, const QImage& desktop, bool folded, double seconds,
                   QImage* last = nullptr) {
    return test::spinUntil(
        [&] {
            const QImage now = kwin.screenshot();
            if (last != nullptr) {
                *last = now;
            }
            const double difference = now.isNull() ? -1 : meanDifference(now, desktop);
            return folded ? difference > 0.1 : difference >= 0 && difference < 0.002;
        },
        seconds);
}

} // namespace

TEST_CASE("KWin folds the output from the daemon's frames as the X11 renderer does, and clears "
          "on End, when the frames stop, and whatever a stranger sends") {
    Session session(1);
    REQUIRE(QGuiApplication::platformName() == "wayland");
    test::KWinSession& kwin = session.kwin;
    const QImage& desktop = session.desktop;
    REQUIRE(loadEffect(kwin));
    shot(kwin, "desktop");

    Driver driver(kwin);
    CHECK(driver.fold().version() == FoldContract::version);
    CHECK(driver.fold().problem().isEmpty());
    CHECK(driver.fold().compositor().startsWith("KWin "));
    // The window in front is this test's, by its Wayland app_id.
    CHECK(driver.fold().activeApp() == patternApp);
    const QString output = QGuiApplication::primaryScreen()->name();
    const FoldLook look = FoldLook::tools();

    // The fold at 60 degrees is the X11 renderer's picture of it.
    REQUIRE_FALSE(driver.begin(output, look).isValid());
    driver.sendFrames(60, 0.4);
    const QImage folded = shot(kwin, "folded-60");
    const QImage expected = reference(desktop, look, 60);
    expected.save(QString(ORVANE_E2E_DIR "/kwin-folded-60-x11-renderer.png"));
    CHECK(meanDifference(folded, desktop) > 0.1);
    CHECK(meanDifference(folded, expected) < 0.01);

    // End gives the desktop back at once.
    driver.stop();
    driver.fold().End().waitForFinished();
    test::spinFor(0.2);
    CHECK(meanDifference(shot(kwin, "ended"), desktop) < 0.002);

    // A daemon that stops mid-fold: the sheet settles and the fold ends by itself.
    QStringList ended;
    QObject::connect(&driver.fold(), &FoldInterface::Ended,
                     [&ended](const QString& reason) { ended.push_back(reason); });
    REQUIRE_FALSE(driver.begin(output, look).isValid());
    driver.sendFrames(45, 0.2);
    CHECK(meanDifference(kwin.screenshot(), desktop) > 0.1);
    driver.stop();
    REQUIRE(test::spinUntil([&] { return ended.count() == 1; }, 3));
    CHECK(ended.at(0).contains("stopped"));
    test::spinFor(0.1);
    CHECK(meanDifference(shot(kwin, "silence"), desktop) < 0.002);

    // A held fold under the cover's picture; the picture goes with Undress.
    REQUIRE_FALSE(driver.begin(output, look).isValid());
    driver.sendFrames(50, 0.1);
    driver.fold().Freeze(true).waitForFinished();
    QImage cover(screenWidth, screenHeight, QImage::Format_ARGB32_Premultiplied);
    cover.fill(Qt::transparent);
    const QColor mark(250, 0, 250);
    QPainter(&cover).fillRect(screenWidth / 2 - 100, 40, 200, 100, mark);
    const int fd = sealedMemoryFile(
        "cover",
        std::as_bytes(std::span(cover.constBits(), static_cast<std::size_t>(cover.sizeInBytes()))));
    REQUIRE(fd >= 0);
    QDBusPendingReply<> dressed = driver.fold().Dress(QDBusUnixFileDescriptor(fd), screenWidth,
                                                      screenHeight, int(cover.bytesPerLine()));
    ::close(fd);
    dressed.waitForFinished();
    CHECK_FALSE(dressed.isError());
    driver.sendFrames(50, 0.2);
    CHECK(shot(kwin, "covered").pixelColor(screenWidth / 2, 90) == mark);
    driver.fold().Undress().waitForFinished();
    driver.sendFrames(50, 0.2);
    const QImage undressed = kwin.screenshot();
    CHECK(undressed.pixelColor(screenWidth / 2, 90) != mark);
    CHECK(meanDifference(undressed, desktop) > 0.1);

    // Another program on the bus cannot change the fold, nor hand over a picture that is not
    // sealed; the fold goes on.
    QDBusConnection other =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stranger"));
    {
        FoldInterface stranger(QString::fromUtf8(FoldContract::busName),
                               QString::fromUtf8(FoldContract::objectPath), other);
        QDBusPendingReply<> ending = stranger.End();
        ending.waitForFinished();
        CHECK(ending.error().type() == QDBusError::AccessDenied);
        stranger.Update(10, false, 10, 0, 1, monotonicSeconds());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
    const int loose = memfd_create("loose", MFD_CLOEXEC);
    REQUIRE(loose >= 0);
    REQUIRE(::ftruncate(loose, cover.sizeInBytes()) == 0);
    QDBusPendingReply<> unsealed = driver.fold().Dress(QDBusUnixFileDescriptor(loose), screenWidth,
                                                       screenHeight, int(cover.bytesPerLine()));
    ::close(loose);
    unsealed.waitForFinished();
    CHECK(unsealed.error().type() == QDBusError::InvalidArgs);
    test::spinFor(0.2);
    CHECK(meanDifference(kwin.screenshot(), undressed) < 0.01);

    // A held fold whose frames stop settles by itself too, though it is not drawn anew at
    // every display frame.
    driver.stop();
    REQUIRE(test::spinUntil([&] { return ended.count() == 2; }, 3));
    CHECK(screenBecomes(kwin, desktop, false, 2));

    // What a stranger may send: refused with a reason, or ignored, never a fold or a crash.
    CHECK(driver.begin(QStringLiteral("no-such-output"), look).type() == QDBusError::InvalidArgs);
    QDBusPendingReply<> badStyle =
        driver.fold().Begin(output, QStringLiteral("plaid"), 0.5, 0.5, 0.5, 100, false);
    badStyle.waitForFinished();
    CHECK(badStyle.error().type() == QDBusError::InvalidArgs);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    driver.fold().Update(nan, true, nan, nan, nan, nan);
    int pipe[2];
    REQUIRE(::pipe2(pipe, O_CLOEXEC) == 0);
    REQUIRE_FALSE(driver.begin(output, look).isValid());
    QDBusPendingReply<> fromPipe = driver.fold().Dress(QDBusUnixFileDescriptor(pipe[0]),
                                                       screenWidth, screenHeight, screenWidth * 4);
    fromPipe.waitForFinished();
    CHECK(fromPipe.error().type() == QDBusError::InvalidArgs);
    ::close(pipe[0]);
    ::close(pipe[1]);
    driver.stop();
    driver.fold().End().waitForFinished();
    CHECK(kwin.running());
    CHECK(meanDifference(kwin.screenshot(), desktop) < 0.002);
}

namespace {

// The effect loads, folds the output as the X11 renderer would, and clears at the end.
void foldsAsTheRendererDoes(Session& session, const char* name) {
    test::KWinSession& kwin = session.kwin;
    REQUIRE(loadEffect(kwin));
    Driver driver(kwin);
    CHECK(driver.fold().problem().isEmpty());
    const FoldLook look = FoldLook::tools();
    REQUIRE_FALSE(driver.begin(QGuiApplication::primaryScreen()->name(), look).isValid());
    driver.sendFrames(60, 0.4);
    const QImage folded = shot(kwin, name);
    CHECK(meanDifference(folded, reference(session.desktop, look, 60)) < 0.01);
    driver.stop();
    driver.fold().End().waitForFinished();
    CHECK(screenBecomes(kwin, session.desktop, false, 2));
}

} // namespace

TEST_CASE("KWin on an X11 session folds the screen as the X11 renderer does") {
    if (std::string_view(ORVANE_KWIN_X11).empty()) {
        MESSAGE("SKIP: kwin_x11 is not installed");
        return;
    }
    Session session(1, test::KWinSession::Platform::x11);
    REQUIRE(QGuiApplication::platformName() == "xcb");
    foldsAsTheRendererDoes(session, "x11-folded-60");
}

TEST_CASE("KWin drawing with OpenGL ES folds the screen as the X11 renderer does") {
    const test::ScopedEnv gles("KWIN_COMPOSE", "O2ES");
    Session session(1);
    foldsAsTheRendererDoes(session, "gles-folded-60");
}

TEST_CASE("KWin folds only the output the fold began on") {
    Session session(2);
    test::KWinSession& kwin = session.kwin;
    REQUIRE(loadEffect(kwin));
    const QList<QScreen*> screens = QGuiApplication::screens();
    REQUIRE(screens.size() == 2);
    // The pattern fills the output KWin put it on; the fold goes there.
    const bool onFirst =
        kwin.screenshot(screens[0]->name()).pixelColor(screenWidth - 8, 8) == QColor(40, 180, 60);
    const QString folding = screens[onFirst ? 0 : 1]->name();
    const QString other = screens[onFirst ? 1 : 0]->name();
    const QImage otherBefore = kwin.screenshot(other);
    const QImage before = kwin.screenshot(folding);
    REQUIRE_FALSE(otherBefore.isNull());

    Driver driver(kwin);
    REQUIRE_FALSE(driver.begin(folding, FoldLook::tools()).isValid());
    driver.sendFrames(60, 0.3);
    CHECK(meanDifference(kwin.screenshot(folding), before) > 0.1);
    CHECK(meanDifference(kwin.screenshot(other), otherBefore) < 0.002);
    driver.stop();
    driver.fold().End().waitForFinished();
}

namespace {

// The mean difference inside `rect` and outside it.
std::pair<double, double> differenceInAndOut(const QImage& a, const QImage& b, const QRect& rect) {
    const QRect inner = rect.intersected(a.rect());
    QImage maskedA = a.convertToFormat(QImage::Format_RGB32);
    QImage maskedB = b.convertToFormat(QImage::Format_RGB32);
    const double inside = meanDifference(maskedA.copy(inner), maskedB.copy(inner));
    QPainter(&maskedA).fillRect(inner, Qt::black);
    QPainter(&maskedB).fillRect(inner, Qt::black);
    const double share = double(inner.width()) * inner.height() / (double(a.width()) * a.height());
    return {inside, meanDifference(maskedA, maskedB) / (1 - share)};
}

} // namespace

TEST_CASE("on KWin the settings window holding the fold stays above it, as it is") {
    Session session(1);
    test::KWinSession& kwin = session.kwin;
    const std::string path = (kwin.home() / "settings.ini").string();
    saveSettings(path);
    OrvaneApp::Options options;
    options.settingsPath = path;
    options.sensorReader =
        SensorPoller::Reader{[] { return true; }, [] {}, [] { return std::optional(120.0); }};
    OrvaneApp orvane(options);
    orvane.launch();
    REQUIRE(kwin.buses().hasOwner(test::Bus::session, QString::fromUtf8(FoldContract::busName)));

    orvane.showSettings();
    SettingsWindow* window = orvane.settingsWindow();
    REQUIRE(window != nullptr);
    window->selectPane(SettingsWindow::appearance);
    std::optional<QRect> rect;
    REQUIRE(test::spinUntil([&] { return (rect = kwin.windowRect("Orvane Settings")).has_value(); },
                            10));
    test::spinFor(0.5);
    const QImage open = kwin.screenshot();

    QCheckBox* follow = nullptr;
    for (QCheckBox* box : window->findChildren<QCheckBox*>()) {
        follow = box->text() == QStringLiteral("Follow lid") ? box : follow;
    }
    REQUIRE(follow != nullptr);
    follow->click();
    QImage held;
    REQUIRE(test::spinUntil(
        [&] {
            held = kwin.screenshot();
            return !held.isNull() && differenceInAndOut(open, held, *rect).second > 0.1;
        },
        5));
    test::spinFor(0.3);
    held = shot(kwin, "held-fold-settings-above");
    // The window shows as it draws itself, where it is; around it the desktop is folded.
    const QImage drawn = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    REQUIRE(drawn.size() == rect->size());
    CHECK(meanDifference(held.copy(*rect), drawn) < 0.01);
    CHECK(differenceInAndOut(open, held, *rect).second > 0.1);
    follow->click();
    CHECK(screenBecomes(kwin, open, false, 5));
}

TEST_CASE("on KWin the program loads its effect and a preview URL folds the live desktop, which "
          "comes back when the preview ends") {
    Session session(1);
    test::KWinSession& kwin = session.kwin;
    const test::PrivateBuses& buses = kwin.buses();
    saveSettings(IniSettingsStore::defaultPath());
    test::ChildProcess orvane({ORVANE_EXECUTABLE}, buses.folder() / "orvane.log");
    REQUIRE(test::spinUntil(
        [&] {
            return buses.hasOwner(test::Bus::session, QString::fromUtf8(FoldContract::busName));
        },
        20));

    const auto preview =
        test::runProcess(ORVANE_EXECUTABLE, {"orvane://preview?angle=60&seconds=3"});
    CHECK(preview.status == 0);
    QImage folded;
    CHECK(screenBecomes(kwin, session.desktop, true, 3, &folded));
    folded.save(QString(ORVANE_E2E_DIR "/kwin-program-preview.png"));
    CHECK(screenBecomes(kwin, session.desktop, false, 8));
    CHECK(orvane.running());

    // The effect gone from KWin (as after KWin restarted): the program loads it again.
    kwin.buses().call(test::Bus::session, QStringLiteral("org.kde.KWin"),
                      QStringLiteral("/Effects"), QStringLiteral("org.kde.kwin.Effects"),
                      QStringLiteral("unloadEffect"),
                      {QString::fromUtf8(FoldContract::kwinEffectId)});
    const auto served = [&] {
        return buses.hasOwner(test::Bus::session, QString::fromUtf8(FoldContract::busName));
    };
    REQUIRE(test::spinUntil([&] { return !served(); }, 5));
    CHECK(test::spinUntil(served, 3 * Tuning::compositorReloadInterval));

    // A daemon that dies mid-fold leaves no folded screen.
    CHECK(test::runProcess(ORVANE_EXECUTABLE, {"orvane://preview?angle=60&seconds=30"}).status ==
          0);
    CHECK(screenBecomes(kwin, session.desktop, true, 3));
    orvane.kill();
    CHECK(screenBecomes(kwin, session.desktop, false, 3));
    CHECK(kwin.running());
}
