// SPDX-License-Identifier: MIT
// The welcome window on Qt's offscreen platform, driven through its buttons
// over a stand-in for the effect controller. Pictures of the four steps go to
// build/e2e/ (and the last one at 2x as well).
#include "accordion/AccordionRender.h"
#include "sensor/LidCalibration.h"
#include "support/FakeSettingsHost.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "windows/OnboardingWindow.h"
#include "windows/StyleCards.h"
#include "windows/StyleThumbnails.h"
#include "windows/WelcomeAnimation.h"

#include <doctest/doctest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QStyleFactory>

#include <filesystem>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

struct Desktop {
    TempDir home;
    ScopedEnv platform{"QT_QPA_PLATFORM", "offscreen"};
    ScopedEnv config{"XDG_CONFIG_HOME", (home.path() / "config").string()};
    ScopedEnv cache{"XDG_CACHE_HOME", (home.path() / "cache").string()};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", home.path().string()};
    ScopedEnv bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home.path() / "no-bus").string()};
};

// Also keeps a render thread from still running when the process exits.
void waitForPictures() {
    const QDeadlineTimer deadline(120'000);
    while (!(StyleThumbnails::shared().isLoaded() && WelcomeAnimation::shared().isLoaded()) &&
           !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QApplication::processEvents();
}

struct Fixture {
    Desktop desktop;
    int argc = 1;
    char name[24] = "orvane_welcome_tests";
    char* argv[2] = {name, nullptr};
    QApplication application{argc, argv};
    FakeSettingsHost host;
    std::vector<AudioBuffer> played;
    OnboardingWindow window{host, [this](const AudioBuffer& b) { played.push_back(b); }};

    Fixture() {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        host.onSettingsChange = [this](const FoldSettings& s) { window.settingsChanged(s); };
        window.setReduceMotion([] { return true; }); // still pictures for the grabs
        window.showWelcome();
        waitForPictures();
    }

    template <class W>
    W* find(const QString& text) const {
        for (W* widget : window.findChildren<W*>()) {
            if (widget->isVisibleTo(&window) && widget->text() == text) {
                return widget;
            }
        }
        return nullptr;
    }
    void press(const QString& text) const {
        QAbstractButton* button = find<QAbstractButton>(text);
        REQUIRE_MESSAGE(button, text.toStdString());
        button->click();
    }
};

void save(QWidget& window, int step) {
    std::filesystem::create_directories(ORVANE_E2E_DIR);
    const QString path = QStringLiteral(ORVANE_E2E_DIR "/welcome-step-%1.png").arg(step);
    CHECK(window.grab().save(path));
}

} // namespace

TEST_CASE("Next leads through the four steps to Done, each with its own texts") {
    Fixture f;
    CHECK(f.window.windowTitle() == "Welcome to Orvane");
    CHECK(f.find<QLabel>("Orvane folds your screen as the lid closes."));
    CHECK(f.find<QLabel>("Step 1 of 4"));
    CHECK_FALSE(f.find<QPushButton>("Back")->isEnabled());
    save(f.window, 1);

    f.press("Next");
    CHECK(f.find<QLabel>("Screen Recording is on."));
    save(f.window, 2);

    f.press("Next");
    CHECK(f.find<QLabel>("Move the lid a little."));
    f.window.lidSample(100);
    f.window.lidSample(104);
    CHECK(f.find<QLabel>("Sensor works."));
    CHECK(f.find<QLabel>("104°"));
    f.press("Set clear angle from my lid");
    CHECK(f.host.live.clearAngle == LidCalibration::storedValue(104));
    save(f.window, 3);

    f.press("Next");
    CHECK(f.find<QLabel>("Step 4 of 4"));
    CHECK_FALSE(f.find<QPushButton>("Next"));
    CHECK(f.find<QPushButton>("Done"));
    save(f.window, 4);
    QImage sharp(f.window.size() * 2, QImage::Format_ARGB32_Premultiplied);
    sharp.setDevicePixelRatio(2);
    f.window.render(&sharp);
    CHECK(sharp.save(ORVANE_E2E_DIR "/welcome-step-4@2x.png"));

    f.press("Back");
    CHECK(f.find<QLabel>("Step 3 of 4"));
}

TEST_CASE("the animation loops, and stands still while the desktop reduces motion") {
    Fixture f;
    QWidget* animation = nullptr;
    for (QWidget* child : f.window.findChildren<QWidget*>()) {
        animation = child->accessibleName() == "Orvane folding animation" ? child : animation;
    }
    REQUIRE(animation);
    const auto picture = [&] {
        for (const QDeadlineTimer shown(200); !shown.hasExpired();) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        return animation->grab().toImage();
    };
    const QImage still = picture();
    CHECK(picture() == still);
    f.window.setReduceMotion([] { return false; });
    CHECK(picture() != still);
}

TEST_CASE("a style card chosen on the last step is stored through the host") {
    Fixture f;
    for (int i = 0; i < 3; ++i) {
        f.press("Next");
    }
    auto* cards = f.window.findChild<StyleCards*>();
    REQUIRE(cards);
    CHECK(cards->selected() == FoldStyle::vellum);
    f.press("Rime");
    CHECK(f.host.live.style == FoldStyle::rime);
    CHECK(cards->selected() == FoldStyle::rime);
}

TEST_CASE("Done and Skip close the welcome for good, and only Done greets") {
    Fixture f;
    f.host.live.setAccordionVolume(0.3);
    SUBCASE("Done plays the hello chord once") {
        for (int i = 0; i < 3; ++i) {
            f.press("Next");
        }
        f.press("Done");
        REQUIRE(f.played.size() == 1);
        CHECK(f.played[0].frameCount() == AccordionRender::renderHelloChord(0.3).frameCount());
        CHECK(f.host.live.hasCompletedOnboarding);
    }
    SUBCASE("Skip is silent") {
        f.press("Skip");
        CHECK(f.played.empty());
        CHECK(f.host.live.hasCompletedOnboarding);
    }
    SUBCASE("closing the window leaves it for the next launch") {
        f.window.close();
        CHECK(f.played.empty());
        CHECK_FALSE(f.host.live.hasCompletedOnboarding);
    }
    CHECK_FALSE(f.window.isVisible());
}
