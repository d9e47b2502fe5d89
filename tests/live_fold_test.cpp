// SPDX-License-Identifier: MIT
// The application end to end on a private Xvfb, through its own wiring, with
// only the lid sensor scripted: the desktop untouched at rest, a real window
// folded while the lid closes, the cover over the frozen fold, the desktop
// back after reopening, one clear click, and the capture stopped at the end.
// Then the URL scheme between two real processes, with a tray on a private bus.
#include "app/linux/OrvaneApp.h"
#include "capture/CaptureService.h"
#include "effect/EffectController.h"
#include "platform/MonotonicClock.h"
#include "render/FoldUniforms.h"
#include "render/linux/OverlayPanel.h"
#include "settings/FoldSettings.h"
#include "settings/linux/IniSettingsStore.h"
#include "support/Doubles.h"
#include "support/EventLoop.h"
#include "support/PrivateBuses.h"
#include "support/RunProcess.h"
#include "support/TrayReader.h"
#include "support/XClient.h"

#include <QApplication>
#include <QColor>
#include <QDBusVariant>

#include <doctest/doctest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>

using namespace orvane;

namespace {

constexpr int screenWidth = 1512;
constexpr int screenHeight = 982;
constexpr unsigned long wallpaper = 0x406080;
constexpr unsigned long red = 0xd02020;
const QRect redRect{300, 250, 900, 500};

struct Live : test::XDesktopClient {
    test::ScopedEnv systemBus{"DBUS_SYSTEM_BUS_ADDRESS",
                              "unix:path=" + (home.path() / "no-system-bus").string()};
    int argc = 1;
    char name[24] = "orvane_live_test";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
    std::atomic<double> lid{120.0};
    test::FakeOutput clicks;
    test::FakeOutput accordion;
    std::string settingsPath = (home.path() / "settings.ini").string();
    std::unique_ptr<OrvaneApp> orvane;
    Window redWindow = 0;

    explicit Live(CoverMode cover)
        : XDesktopClient(std::to_string(screenWidth) + "x" + std::to_string(screenHeight) + "x24") {
        window({0, 0, screenWidth, screenHeight}, wallpaper);
        redWindow = window(redRect, red, KeyPressMask);
        {
            IniSettingsStore store(settingsPath);
            FoldSettings settings;
            settings.builtInScreen = "screen"; // Xvfb's only output
            settings.coverMode = cover;
            settings.hasCompletedOnboarding = true;
            REQUIRE(settings.save(store) == StoreStatus::ok);
        }
        OrvaneApp::Options options;
        options.sensorReader = SensorPoller::Reader{
            [] { return true; }, [] {}, [this]() -> std::optional<double> { return lid.load(); }};
        options.clickOutput = &clicks;
        options.accordionOutput = &accordion;
        options.settingsPath = settingsPath;
        orvane = std::make_unique<OrvaneApp>(options);
        orvane->launch();
        REQUIRE(orvane->effect() != nullptr);
    }

    EffectController& effect() { return *orvane->effect(); }

    void spin(double seconds) { test::spinFor(seconds); }
    bool waitFor(const std::function<bool()>& done, double seconds = 15.0) {
        return test::spinUntil(done, seconds);
    }
    // The lid moves at a steady speed, the event loop running meanwhile.
    void move(double to, double seconds) {
        const double from = lid.load();
        const double start = monotonicSeconds();
        for (double t = 0; t < seconds; t = monotonicSeconds() - start) {
            lid = from + (to - from) * (t / seconds);
            spin(0.004);
        }
        lid = to;
    }
    // Whether an Escape pressed now reaches the focused window of the test's client.
    bool escapeReachesWindow() {
        XSetInputFocus(x, redWindow, RevertToParent, CurrentTime);
        XSync(x, False);
        REQUIRE(std::system("xdotool key Escape") == 0);
        bool reached = false;
        waitFor(
            [&] {
                while (XPending(x) > 0) {
                    XEvent event{};
                    XNextEvent(x, &event);
                    reached = reached || (event.type == KeyPress && event.xkey.window == redWindow);
                }
                return reached;
            },
            3.0);
        return reached;
    }
    bool panelShown() {
        OverlayPanel* panel = orvane->panel();
        return panel != nullptr && mapState(panel->xWindow()) == IsViewable;
    }
    QImage shot(const char* name) {
        QImage image = grab();
        std::filesystem::create_directories(ORVANE_E2E_DIR);
        CHECK(image.save(QString(ORVANE_E2E_DIR "/") + name + ".png"));
        return image;
    }
};

bool untouched(const QImage& image) {
    return image.pixel(20, 20) == QColor(QRgb(wallpaper)).rgb() &&
           image.pixel(redRect.center()) == QColor(QRgb(red)).rgb() &&
           image.pixel(screenWidth - 20, screenHeight - 20) == QColor(QRgb(wallpaper)).rgb();
}

bool reddish(QRgb pixel) {
    const QColor colour(pixel);
    return colour.red() > 2 * colour.green() + 20 && colour.red() > 2 * colour.blue() + 20;
}

// The first row from the top, in a column left of the middle (the clock's), that holds the
// sheet: much brighter than the dimmed backdrop above it.
int sheetTop(const QImage& image) {
    const int column = screenWidth * 3 / 8;
    const int backdrop = QColor(image.pixel(column, 2)).value();
    for (int row = 2; row < screenHeight; ++row) {
        if (QColor(image.pixel(column, row)).value() > backdrop + 30) {
            return row;
        }
    }
    return screenHeight;
}

// Where the far edge of the sheet lies, in screen rows, for the parameters of the frame the
// panel drew last.
double farEdgeRow(Live& live) {
    const OverlayPanel* panel = live.orvane->panel();
    if (panel == nullptr || !panel->lastFrame()) {
        return 0;
    }
    const FrameUniforms uniforms = fillUniforms(*panel->lastFrame(), screenWidth, screenHeight);
    return (1 - uniforms.fold.edge[2]) / 2 * screenHeight;
}

} // namespace

TEST_CASE("the lid folds the live desktop, the cover holds it half closed, reopening clears it") {
    Live live(CoverMode::veil);
    int clears = 0;
    live.effect().onClearClick = [&clears] { ++clears; };
    REQUIRE(live.waitFor([&] { return live.effect().sensorFacts().open; }));
    live.spin(1.0);
    CHECK_FALSE(live.panelShown());
    CHECK(untouched(live.shot("live-rest")));

    // Closing: the window is folded on the sheet over a dimmed backdrop.
    live.move(80, 0.8);
    // A software renderer draws a few frames a second: wait for one well under way. No frame
    // is drawn while the events do not run, so the one on screen is the one drawn last.
    REQUIRE(live.waitFor([&] { return live.panelShown() && farEdgeRow(live) > 50; }));
    const double farEdge = farEdgeRow(live);
    const QImage folding = live.shot("live-folding");
    CHECK(QColor(folding.pixel(20, 20)).value() < QColor(QRgb(wallpaper)).value());
    CHECK(QColor(folding.pixel(20, 20)).hue() ==
          doctest::Approx(QColor(QRgb(wallpaper)).hue()).epsilon(0.1));
    int redOnSheet = 0;
    for (int y = 0; y < screenHeight; y += 4) {
        for (int x = 0; x < screenWidth; x += 4) {
            redOnSheet += reddish(folding.pixel(x, y)) ? 1 : 0;
        }
    }
    CHECK(redOnSheet > 500);
    // Receded: the far edge lies where the sheet's geometry puts it for the frame drawn.
    CHECK(farEdge > 10);
    CHECK(sheetTop(folding) == doctest::Approx(farEdge).epsilon(0.05));

    // Resting half closed: the gate parks in the cover, drawn over the frozen fold. (On a
    // busy machine the wait above may outlast the settle time: the lid then rested at 80 and
    // the fold cleared once before this move armed it again. Clicks count from the cover on.)
    live.move(60, 0.3);
    REQUIRE(live.waitFor([&] { return live.effect().gateState() == GateState::cover; }));
    const int clearsBefore = clears;
    const int opensBefore = live.clicks.opens;
    REQUIRE(live.panelShown());
    CHECK(live.waitFor([&] { return live.orvane->panel()->mode() == OverlayPanel::Mode::frozen; }));
    live.spin(0.5);
    const QImage covered = live.shot("live-cover");
    CHECK(covered != folding);
    CHECK(live.clicks.opens == opensBefore);

    // Reopening: the fold follows the lid back and clears with one click.
    live.move(120, 0.8);
    REQUIRE(live.waitFor([&] { return !live.panelShown(); }));
    live.spin(1.0);
    CHECK(untouched(live.shot("live-reopened")));
    CHECK(clears == clearsBefore + 1);
    CHECK(live.clicks.opens == opensBefore + 1);
    CHECK(live.effect().gateState() == GateState::idle);
    CHECK(live.waitFor([&] { return !live.orvane->capture()->isCapturing(); }));

    // Escape is the program's only while the overlay shows: then it pauses the effect.
    CHECK(live.escapeReachesWindow());
    live.move(80, 0.8);
    REQUIRE(live.waitFor([&] { return live.panelShown(); }));
    CHECK_FALSE(live.escapeReachesWindow());
    CHECK(live.waitFor([&] { return !live.panelShown(); }));
    CHECK(live.effect().settings().paused);
    CHECK(FoldSettings::load(IniSettingsStore(live.settingsPath)).paused);
    live.orvane.reset();
}

namespace {

// The running instance's tooltip, as the tray reads it.
QString tooltip(const test::PrivateBuses& buses) {
    const QStringList items = test::registeredItems(buses);
    return items.isEmpty() ? QString() : test::trayTooltip(buses, items.front());
}

bool paused() {
    const IniSettingsStore store(IniSettingsStore::defaultPath());
    return FoldSettings::load(store).paused;
}

} // namespace

TEST_CASE("a second start hands its URLs to the running instance: preview, pause, resume") {
    test::XDesktopClient desk(std::to_string(screenWidth) + "x" + std::to_string(screenHeight) +
                              "x24");
    test::PrivateBuses buses;
    desk.window({0, 0, screenWidth, screenHeight}, wallpaper);
    desk.window(redRect, red);
    {
        IniSettingsStore store(IniSettingsStore::defaultPath());
        FoldSettings settings;
        settings.builtInScreen = "screen";
        settings.hasCompletedOnboarding = true;
        REQUIRE(settings.save(store) == StoreStatus::ok);
    }
    test::ChildProcess watcher({"/usr/bin/python3", ORVANE_SN_WATCHER},
                               buses.folder() / "watcher.log");
    const auto waitFor = [](const std::function<bool()>& done, double seconds) {
        const double end = monotonicSeconds() + seconds;
        while (!done() && monotonicSeconds() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    };
    REQUIRE(waitFor(
        [&] { return buses.hasOwner(test::Bus::session, "org.kde.StatusNotifierWatcher"); }, 5));
    test::ChildProcess running({ORVANE_EXECUTABLE}, buses.folder() / "orvane.log");
    REQUIRE(waitFor([&] { return !tooltip(buses).isEmpty(); }, 10));
    const QString atRest = tooltip(buses);
    CHECK(untouched(desk.grab()));

    const double handed = monotonicSeconds();
    const auto preview =
        test::runProcess(ORVANE_EXECUTABLE, {"orvane://preview?angle=60&seconds=6"});
    CHECK(preview.status == 0);
    CHECK(preview.err.empty());
    // The fold at 60 degrees over the live desktop (the sample desktop stands in until the
    // capture's first frame): the window on a receded sheet.
    QImage shown;
    CHECK(waitFor(
        [&] {
            shown = desk.grab();
            return !untouched(shown) && sheetTop(shown) > 40 &&
                   reddish(shown.pixel(screenWidth / 2, screenHeight / 2));
        },
        6));
    shown.save(ORVANE_E2E_DIR "/url-preview.png");
    REQUIRE(waitFor([&] { return untouched(desk.grab()); }, 15));
    CHECK(monotonicSeconds() - handed > 5);

    CHECK(test::runProcess(ORVANE_EXECUTABLE, {"orvane://pause"}).status == 0);
    CHECK(waitFor([] { return paused(); }, 10));
    CHECK(waitFor([&] { return tooltip(buses).contains("paused"); }, 10));
    CHECK(test::runProcess(ORVANE_EXECUTABLE, {"ORVANE://RESUME"}).status == 0);
    CHECK(waitFor([] { return !paused(); }, 10));
    CHECK(waitFor([&] { return tooltip(buses) == atRest; }, 10));

    // A style chosen in the tray's menu changes that setting alone, and is saved.
    const QString item = test::registeredItems(buses).front();
    std::map<std::string, int> ids;
    test::menuLayout(buses, item, ids);
    FoldSettings expected = FoldSettings::load(IniSettingsStore(IniSettingsStore::defaultPath()));
    expected.style = FoldStyle::dusk;
    test::callMenu(
        buses, item, QStringLiteral("Event"),
        {ids.at("Dusk"), QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    CHECK(waitFor(
        [&] {
            return FoldSettings::load(IniSettingsStore(IniSettingsStore::defaultPath())) ==
                   expected;
        },
        3));
    CHECK(running.running());
}
