// SPDX-License-Identifier: MIT
// The settings window inside the running application on a private Xvfb: every
// control changes its setting in the controller and in the stored INI file,
// the panes show the stored values when the window opens again, and closing
// it while the fold is held makes the fold follow the lid again. Under openbox,
// the window and what it opens stay above the fold it holds; a portal that does
// not answer does not hold the window up.
#include "app/linux/AboutPanel.h"
#include "app/linux/MenuBarController.h"
#include "app/linux/OrvaneApp.h"
#include "core/Tuning.h"
#include "effect/EffectController.h"
#include "platform/MonotonicClock.h"
#include "render/linux/OverlayPanel.h"
#include "settings/SettingsLayout.h"
#include "settings/linux/IniSettingsStore.h"
#include "support/PrivateBuses.h"
#include "support/XvfbDesktop.h"
#include "windows/FoldPreview.h"
#include "windows/SettingsWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include <doctest/doctest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

// Xlib's macros last: they clash with names in Qt's and doctest's headers.
#include "support/Openbox.h"
#include "support/XClient.h"

using namespace orvane;

namespace {

struct AppSetup {
    // A session bus in place of none.
    std::optional<std::string> bus;
    // Under openbox, with Xvfb's screen as the built-in one.
    bool managed;
    // Settings opened by the constructor.
    bool opened;
};

struct App {
    test::XvfbDesktop desktop{"1280x800x24"};
    test::ScopedEnv systemBus{"DBUS_SYSTEM_BUS_ADDRESS",
                              "unix:path=" + (desktop.home.path() / "no-bus").string()};
    int argc = 1;
    char name[24] = "orvane_settings_test";
    char* argv[2] = {name, nullptr};
    QApplication application{argc, argv};
    std::string path = (desktop.home.path() / "settings.ini").string();
    std::unique_ptr<OrvaneApp> orvane;
    std::optional<test::ScopedEnv> sessionBus;
    std::optional<test::Openbox> windowManager;

    explicit App(AppSetup setup = {std::nullopt, false, true}) {
        if (setup.bus) {
            sessionBus.emplace("DBUS_SESSION_BUS_ADDRESS", *setup.bus);
        }
        if (setup.managed) {
            windowManager.emplace(desktop.home.path());
        }
        {
            IniSettingsStore store(path);
            FoldSettings settings;
            settings.hasCompletedOnboarding = true;
            if (setup.managed) {
                settings.builtInScreen = "screen";
            }
            REQUIRE(settings.save(store) == StoreStatus::ok);
        }
        OrvaneApp::Options options;
        options.settingsPath = path;
        options.sensorReader =
            SensorPoller::Reader{[] { return true; }, [] {}, [] { return std::optional(120.0); }};
        orvane = std::make_unique<OrvaneApp>(options);
        orvane->launch();
        REQUIRE(orvane->effect() != nullptr);
        if (setup.opened) {
            orvane->showSettings();
            REQUIRE(window() != nullptr);
        }
    }

    SettingsWindow* window() { return orvane->settingsWindow(); }
    FoldSettings stored() { return FoldSettings::load(IniSettingsStore(path)); }
    const FoldSettings& live() { return orvane->effect()->settings(); }

    template <class T>
    T* find(const QString& label) {
        for (T* widget : window()->findChildren<T*>()) {
            if (widget->accessibleName() == label) {
                return widget;
            }
            if constexpr (std::is_base_of_v<QAbstractButton, T>) {
                if (widget->text() == label) {
                    return widget;
                }
            }
        }
        FAIL("no control " << label.toStdString());
        return nullptr;
    }
    void show(SettingsWindow::Pane pane) {
        window()->selectPane(pane);
        QCoreApplication::processEvents();
    }
    void reopen() {
        window()->close();
        orvane->showSettings();
        QCoreApplication::processEvents();
    }
};

void slide(QSlider* slider, int value) {
    slider->setValue(value);
    QCoreApplication::processEvents();
}

} // namespace

TEST_CASE("window content heights and levels follow the screen and the held preview") {
    CHECK(SettingsLayout::windowContentHeight(945) == 680);
    CHECK(SettingsLayout::windowContentHeight(400) == 460);
    CHECK(SettingsLayout::windowContentHeight(std::nullopt) == 680);
    CHECK(SettingsLayout::windowContentHeight(-1) == 680);
    FoldSettings held;
    held.previewAngle = 60;
    CHECK(SettingsLayout::windowLevel(held) == SettingsLayout::Level::aboveOverlay);
    CHECK(SettingsLayout::windowLevel(FoldSettings()) == SettingsLayout::Level::normal);
}

TEST_CASE("every control edits the stored settings and the controller, and shows them again") {
    App app;
    app.show(SettingsWindow::general);
    app.find<QCheckBox>("Click when the screen clears")->click();
    CHECK_FALSE(app.find<QSlider>("Click volume")->isVisibleTo(app.window()));
    app.find<QCheckBox>("Click when the screen clears")->click();
    CHECK(app.find<QSlider>("Click volume")->isVisibleTo(app.window()));
    slide(app.find<QSlider>("Click volume"), 35);
    app.find<QCheckBox>("Tick on the trackpad when the screen clears")->click();
    app.find<QCheckBox>("Pause in Low Power Mode")->click();
    app.find<QCheckBox>("Show angle in the panel")->click();
    app.find<QCheckBox>("Launch at login")->click();
    auto* screens = app.find<QComboBox>("Built-in screen");
    REQUIRE(screens->count() >= 2); // Automatic and Xvfb's "screen"
    screens->setCurrentIndex(1);
    emit screens->activated(1);

    app.show(SettingsWindow::appearance);
    slide(app.find<QSlider>("Perspective"), 80);
    slide(app.find<QSlider>("Blur"), 10);
    slide(app.find<QSlider>("Shadow"), 90);
    slide(app.find<QSlider>("Clear angle"), 110);
    app.find<QAbstractButton>("Dusk")->click();

    app.show(SettingsWindow::cover);
    app.find<QRadioButton>("Clock")->click();
    CHECK(app.window()->findChild<QLabel*>()); // the sentence
    app.show(SettingsWindow::accordion);
    app.find<QCheckBox>("Accordion")->click();
    slide(app.find<QSlider>("Accordion volume"), 40);

    for (const FoldSettings& s : {app.live(), app.stored()}) {
        CHECK(s.soundOnClear);
        CHECK(s.clearVolume == doctest::Approx(0.35));
        CHECK(s.hapticOnClear != FoldSettings().hapticOnClear);
        CHECK(s.pauseInLowPower != FoldSettings().pauseInLowPower);
        CHECK(s.showAngleInMenuBar != FoldSettings().showAngleInMenuBar);
        CHECK(s.builtInScreen == "screen");
        CHECK(s.perspective == doctest::Approx(0.8));
        CHECK(s.blur == doctest::Approx(0.1));
        CHECK(s.shadow == doctest::Approx(0.9));
        CHECK(s.clearAngle == doctest::Approx(110));
        CHECK(s.style == FoldStyle::dusk);
        CHECK(s.coverMode == CoverMode::clock);
        CHECK(s.accordion != FoldSettings().accordion);
        CHECK(s.accordionVolume == doctest::Approx(0.4));
    }
    CHECK(std::filesystem::exists(app.desktop.home.path() / "autostart" /
                                  "app.orvane.Orvane.desktop"));

    app.reopen();
    app.show(SettingsWindow::appearance);
    CHECK(app.find<QSlider>("Perspective")->value() == 80);
    CHECK(app.find<QSlider>("Clear angle")->value() == 110);
    app.show(SettingsWindow::cover);
    CHECK(app.find<QRadioButton>("Clock")->isChecked());
    bool sentence = false;
    for (QLabel* label : app.window()->findChildren<QLabel*>()) {
        sentence = sentence || label->text() == "The Cover shows when the lid rests between 30° "
                                                "and the clear angle, now 110°.";
    }
    CHECK(sentence);
    app.show(SettingsWindow::general);
    CHECK(app.find<QSlider>("Click volume")->value() == 35);
    CHECK(app.find<QComboBox>("Built-in screen")->currentText() == "screen");

    std::filesystem::create_directories(ORVANE_E2E_DIR);
    const char* names[] = {"general", "appearance", "cover", "accordion", "about"};
    for (int pane = SettingsWindow::general; pane <= SettingsWindow::about; ++pane) {
        app.show(static_cast<SettingsWindow::Pane>(pane));
        const double until = monotonicSeconds() + 1.5; // thumbnails and the preview arrive
        while (monotonicSeconds() < until) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        CHECK(
            app.window()->grab().save(QString(ORVANE_E2E_DIR "/settings-%1.png").arg(names[pane])));
    }
}

TEST_CASE("closing the window while the fold is held makes it follow the lid again") {
    App app;
    app.show(SettingsWindow::appearance);
    app.find<QCheckBox>("Follow lid")->click();
    CHECK(app.live().previewAngle.has_value());
    CHECK(app.window()->aboveOverlay());
    app.window()->close();
    CHECK_FALSE(app.live().previewAngle.has_value());
    CHECK_FALSE(app.window()->aboveOverlay());
}

TEST_CASE("Settings opens while the desktop portal does not answer") {
    const test::PrivateBuses buses;
    const test::DBusMock portal(
        buses, test::Bus::session, QStringLiteral("org.freedesktop.portal.Desktop"),
        {"--template", ORVANE_PORTAL_TEMPLATE, "-p", R"({"hang": 30, "settings": {}})"});
    const test::ScopedEnv gnome("XDG_CURRENT_DESKTOP", "GNOME");
    const std::string bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").toStdString();
    App app({.bus = bus, .managed = false, .opened = false});
    QElapsedTimer clock;
    clock.start();
    app.orvane->showSettings();
    // Each of the wallpaper's three lookups would wait out its timeout.
    CHECK(clock.elapsed() < 2 * Tuning::wallpaperLookupTimeoutMs);
    // The preview's worker gives the portal up after one unanswered call: the preview
    // (over the sample desktop's own background) comes before three timeouts would end.
    app.show(SettingsWindow::appearance);
    REQUIRE(test::spinUntil([&] { return app.window()->preview().frame().has_value(); }, 10.0));
    CHECK(clock.elapsed() < 3 * Tuning::wallpaperLookupTimeoutMs);
    CHECK(app.window()->isVisible());
}

namespace {

// The root's child that holds `window`: itself, or its frame.
Window topLevel(Display* x, Window window) {
    for (Window current = window;;) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(x, current, &root, &parent, &children, &count) == 0) {
            return window;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root) {
            return current;
        }
        current = parent;
    }
}

// Whether `upper` stands above `lower` among the root's children.
bool stackedAbove(Display* x, Window upper, Window lower) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count);
    const Window up = topLevel(x, upper);
    const Window low = topLevel(x, lower);
    int upAt = -1;
    int lowAt = -1;
    for (unsigned i = 0; i < count; ++i) {
        upAt = children[i] == up ? static_cast<int>(i) : upAt;
        lowAt = children[i] == low ? static_cast<int>(i) : lowAt;
    }
    XFree(children);
    return upAt > lowAt && lowAt >= 0;
}

// Whether the screen shows `widget` as it draws itself: a few points of its picture.
bool onScreen(test::XClient& x, QWidget* widget) {
    const QImage own = widget->grab().toImage();
    const QImage screen = x.grab();
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    const double scale = own.devicePixelRatio();
    int same = 0;
    int points = 0;
    for (int y = 10; y < widget->height() - 10; y += widget->height() / 6) {
        for (int xAt = 10; xAt < widget->width() - 10; xAt += widget->width() / 6) {
            const QColor a(own.pixel(QPoint(xAt, y) * scale));
            const QColor b(screen.pixel(origin + QPoint(xAt, y)));
            same += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                        std::abs(a.blue() - b.blue()) <
                    24;
            ++points;
        }
    }
    return same * 10 >= points * 9;
}

} // namespace

TEST_CASE("under openbox, the settings window and what it opens stay above the fold it holds") {
    App app({.bus = std::nullopt, .managed = true, .opened = true});
    test::XClient x;
    // The menu's shortcut for Settings works while the window has the keyboard.
    int settingsAsked = 0;
    QObject::connect(app.orvane->menuBar().shortcutActions().front(), &QAction::triggered,
                     [&settingsAsked] { ++settingsAsked; });
    REQUIRE(test::spinUntil([&] { return app.window()->isActiveWindow(); }, 5.0));
    REQUIRE(std::system("xdotool key ctrl+comma") == 0);
    CHECK(test::spinUntil([&] { return settingsAsked == 1; }, 5.0));
    app.show(SettingsWindow::appearance);
    app.find<QCheckBox>("Follow lid")->click();
    REQUIRE(test::spinUntil(
        [&] {
            OverlayPanel* panel = app.orvane->panel();
            return panel != nullptr && x.mapState(panel->xWindow()) == IsViewable;
        },
        15.0));
    const Window overlay = app.orvane->panel()->xWindow();
    test::spinFor(1.0);
    // The widget's own id is stale once Qt made the window anew for its level.
    CHECK(stackedAbove(x.x, app.window()->windowHandle()->winId(), overlay));
    CHECK(onScreen(x, app.window()));
    x.grab().save(QString(ORVANE_E2E_DIR "/openbox-held-fold.png"));
    // The window manager has the program's icon to show.
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* icon = nullptr;
    XGetWindowProperty(x.x, app.window()->windowHandle()->winId(),
                       XInternAtom(x.x, "_NET_WM_ICON", False), 0, 4, False, XA_CARDINAL, &type,
                       &format, &count, &after, &icon);
    CHECK(count > 2);
    if (icon != nullptr) {
        XFree(icon);
    }

    // A click on the angle slider, where the screen shows it, moves the fold.
    auto* slider = app.find<QSlider>("Angle");
    const double before = *app.live().previewAngle;
    const QPoint at = slider->mapToGlobal(QPoint(slider->width() / 5, slider->height() / 2));
    const std::string click =
        "xdotool mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click 1";
    REQUIRE(std::system(click.c_str()) == 0);
    CHECK(test::spinUntil([&] { return *app.live().previewAngle != before; }, 5.0));
    CHECK(test::spinUntil(
        [&] {
            const auto& frame = app.orvane->panel()->lastFrame();
            return frame && frame->angle != before;
        },
        5.0));

    // The popup of running apps and the About panel open above it too.
    app.show(SettingsWindow::general);
    QMenu* running = app.find<QToolButton>("Add a running app")->menu();
    running->popup(app.window()->mapToGlobal(QPoint(40, 40)));
    test::spinFor(1.0);
    CHECK(stackedAbove(x.x, running->windowHandle()->winId(), overlay));
    CHECK(onScreen(x, running));
    running->close();
    AboutPanel::show(app.window());
    QWidget* about = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        about = widget->windowTitle() == "About Orvane" && widget->isVisible() ? widget : about;
    }
    REQUIRE(about != nullptr);
    test::spinFor(1.0);
    CHECK(stackedAbove(x.x, about->windowHandle()->winId(), overlay));
    CHECK(onScreen(x, about));
    x.grab().save(QString(ORVANE_E2E_DIR "/openbox-about-over-held-fold.png"));
}
