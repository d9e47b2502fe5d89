// SPDX-License-Identifier: MIT
// Orvane on a Wayland session, where nothing draws the fold yet: a headless
// KWin with a tray on its session bus. The program starts with its welcome,
// lives through every item of its menu, a second start, a preview URL and the
// settings window's every pane, says why it cannot fold, and quits with 0.
// KWin's screenshots of the windows go to build/e2e/.
#include "app/linux/OrvaneApp.h"
#include "effect/EffectController.h"
#include "settings/linux/IniSettingsStore.h"
#include "support/EventLoop.h"
#include "support/KWinSession.h"
#include "support/RunProcess.h"
#include "support/TrayReader.h"
#include "windows/SettingsWindow.h"

#include <QApplication>
#include <QDBusVariant>

#include <doctest/doctest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

using namespace orvane;

namespace {

constexpr int screenWidth = 1280;
constexpr int screenHeight = 800;
const QString sessionLine = QStringLiteral("Cannot fold on this session yet");

// Waits without an event loop of its own: the program is another process.
bool waitFor(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

bool shows(test::KWinSession& kwin, const std::string& caption) {
    const std::vector<std::string> windows = kwin.windows();
    return std::find(windows.begin(), windows.end(), caption) != windows.end();
}

// The share of pixels, on a coarse grid, where a window changed the empty desktop.
double changed(const QImage& before, const QImage& after) {
    int differing = 0;
    int all = 0;
    for (int y = 0; y < after.height(); y += 8) {
        for (int x = 0; x < after.width(); x += 8, ++all) {
            differing += before.pixel(x, y) != after.pixel(x, y) ? 1 : 0;
        }
    }
    return all > 0 ? double(differing) / all : 0;
}

QImage shot(test::KWinSession& kwin, const char* name) {
    const QImage image = kwin.screenshot();
    REQUIRE(image.size() == QSize(screenWidth, screenHeight));
    std::filesystem::create_directories(ORVANE_E2E_DIR);
    CHECK(image.save(QString(ORVANE_E2E_DIR "/wayland-") + name + ".png"));
    return image;
}

void saveOnboarded(const std::string& path) {
    IniSettingsStore store(path);
    FoldSettings settings;
    settings.hasCompletedOnboarding = true;
    REQUIRE(settings.save(store) == StoreStatus::ok);
}

} // namespace

TEST_CASE("on a Wayland session the program lives through its welcome, every menu item, a second "
          "start, a preview URL and About, says why it cannot fold, and quits with 0") {
    test::KWinSession kwin(screenWidth, screenHeight);
    const test::PrivateBuses& buses = kwin.buses();
    test::ChildProcess watcher({"/usr/bin/python3", ORVANE_SN_WATCHER},
                               buses.folder() / "watcher.log");
    REQUIRE(waitFor(
        [&] { return buses.hasOwner(test::Bus::session, "org.kde.StatusNotifierWatcher"); }, 5));
    const QImage empty = kwin.screenshot();
    REQUIRE_FALSE(empty.isNull());

    test::ChildProcess orvane({ORVANE_EXECUTABLE}, buses.folder() / "orvane.log");
    QString item;
    REQUIRE(waitFor(
        [&] {
            const QStringList items = test::registeredItems(buses);
            item = items.value(0);
            return !item.isEmpty() && test::trayTooltip(buses, item).contains("session");
        },
        15));
    CHECK(test::trayTooltip(buses, item).trimmed().toStdString() ==
          "Orvane cannot show the fold on this session yet. Log in to an X11 session, or on "
          "KDE Plasma install orvane-kwin-effect, to see it.");
    // A first launch opens the welcome.
    REQUIRE(waitFor([&] { return shows(kwin, "Welcome to Orvane"); }, 10));
    test::spinFor(0.5);
    CHECK(changed(empty, shot(kwin, "welcome")) > 0.1);

    std::map<std::string, int> ids;
    const std::string layout = test::menuLayout(buses, item, ids);
    CHECK(layout.find(sessionLine.toStdString() + " (disabled)") != std::string::npos);
    const auto click = [&](const std::string& label) {
        CAPTURE(label);
        REQUIRE(ids.count(label) == 1);
        test::callMenu(
            buses, item, QStringLiteral("Event"),
            {ids.at(label), QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CHECK(orvane.running());
    };
    for (const char* label : {"Pause Orvane", "Vellum", "Dusk", "Rime", "Ridge", "Off", "Veil",
                              "Clock", "Accordion", "Accordion"}) {
        click(label);
    }
    test::menuLayout(buses, item, ids);
    click("Resume Orvane");
    CHECK(waitFor([&] { return test::trayTooltip(buses, item).contains("session"); }, 3));

    click("Settings…");
    REQUIRE(waitFor([&] { return shows(kwin, "Orvane Settings"); }, 10));
    test::spinFor(0.5);
    CHECK(changed(empty, shot(kwin, "settings")) > 0.2);
    click("About Orvane");
    REQUIRE(waitFor([&] { return shows(kwin, "About Orvane"); }, 10));
    test::spinFor(0.3);
    shot(kwin, "about");

    // A second start opens the running one's settings; a URL goes to it too.
    CHECK(test::runProcess(ORVANE_EXECUTABLE, {}).status == 0);
    const auto preview =
        test::runProcess(ORVANE_EXECUTABLE, {"orvane://preview?angle=60&seconds=2"});
    CHECK(preview.status == 0);
    CHECK(preview.err.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    CHECK(orvane.running());
    CHECK(kwin.running());

    test::callMenu(buses, item, QStringLiteral("Event"),
                   {ids.at("Quit Orvane"), QStringLiteral("clicked"),
                    QVariant::fromValue(QDBusVariant(0)), 0u});
    CHECK(orvane.exitStatus(10) == 0);
}

TEST_CASE("on a Wayland session every settings pane shows, and General and Appearance say what "
          "would show the fold") {
    test::KWinSession kwin(screenWidth, screenHeight);
    int argc = 1;
    char name[24] = "orvane_wayland_test";
    char* argv[2] = {name, nullptr};
    QApplication application(argc, argv);
    REQUIRE(QGuiApplication::platformName() == "wayland");
    const std::string path = (kwin.home() / "settings.ini").string();
    saveOnboarded(path);
    OrvaneApp::Options options;
    options.settingsPath = path;
    options.sensorReader =
        SensorPoller::Reader{[] { return true; }, [] {}, [] { return std::optional(120.0); }};
    OrvaneApp orvane(options);
    orvane.launch();
    REQUIRE(orvane.effect() != nullptr);
    CHECK(orvane.effect()->availability() == Availability::unsupportedSession());

    orvane.showSettings();
    SettingsWindow* window = orvane.settingsWindow();
    REQUIRE(window != nullptr);
    REQUIRE(test::spinUntil([&] { return shows(kwin, "Orvane Settings"); }, 10));
    const char* panes[] = {"general", "appearance", "cover", "accordion", "about"};
    std::vector<QImage> shots;
    for (int pane = SettingsWindow::general; pane <= SettingsWindow::about; ++pane) {
        CAPTURE(panes[pane]);
        window->selectPane(static_cast<SettingsWindow::Pane>(pane));
        test::spinFor(0.5);
        shots.push_back(shot(kwin, (std::string("settings-") + panes[pane]).c_str()));
        for (std::size_t before = 0; before + 1 < shots.size(); ++before) {
            CHECK(changed(shots[before], shots.back()) > 0.02);
        }
        const bool saysWhy = pane == SettingsWindow::general || pane == SettingsWindow::appearance;
        const QWidget* content = window->paneContent(static_cast<SettingsWindow::Pane>(pane));
        const auto* card = content->findChild<QWidget*>(QStringLiteral("sessionCard"));
        CHECK((card != nullptr && card->isVisibleTo(content)) == saysWhy);
    }
}
