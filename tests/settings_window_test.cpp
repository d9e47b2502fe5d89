// SPDX-License-Identifier: MIT
// The settings window inside the running application on a private Xvfb: every
// control changes its setting in the controller and in the stored INI file,
// the panes show the stored values when the window opens again, and closing
// it while the fold is held makes the fold follow the lid again.
#include "app/linux/OrvaneApp.h"
#include "core/Tuning.h"
#include "effect/EffectController.h"
#include "platform/MonotonicClock.h"
#include "settings/SettingsLayout.h"
#include "settings/linux/IniSettingsStore.h"
#include "support/PrivateBuses.h"
#include "support/XvfbDesktop.h"
#include "windows/SettingsWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

#include <doctest/doctest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

using namespace orvane;

namespace {

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

    // `bus`: a session bus in place of none.
    explicit App(std::optional<std::string> bus = std::nullopt) {
        if (bus) {
            sessionBus.emplace("DBUS_SESSION_BUS_ADDRESS", *bus);
        }
        {
            IniSettingsStore store(path);
            FoldSettings settings;
            settings.hasCompletedOnboarding = true;
            REQUIRE(settings.save(store) == StoreStatus::ok);
        }
        OrvaneApp::Options options;
        options.settingsPath = path;
        options.sensorReader =
            SensorPoller::Reader{[] { return true; }, [] {}, [] { return std::optional(120.0); }};
        orvane = std::make_unique<OrvaneApp>(options);
        orvane->launch();
        REQUIRE(orvane->effect() != nullptr);
        orvane->showSettings();
        REQUIRE(window() != nullptr);
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
    QElapsedTimer clock;
    clock.start();
    App app(bus);
    // Each of the wallpaper's three lookups would wait out its timeout.
    CHECK(clock.elapsed() < 2 * Tuning::wallpaperLookupTimeoutMs);
    app.show(SettingsWindow::appearance);
    CHECK(app.window()->isVisible());
}
