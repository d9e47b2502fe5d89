// SPDX-License-Identifier: MIT
// The status item in a tray: a StatusNotifierWatcher on a private session bus,
// the item registered with it, and its menu read and clicked over
// com.canonical.dbusmenu as a panel would. Also the icon's pixels, and the tone
// of an XEmbed tray's panel that picks them.
#include "app/linux/MenuBarController.h"
#include "settings/FoldSettings.h"
#include "support/Doubles.h"
#include "support/EventLoop.h"
#include "support/PrivateBuses.h"
#include "support/TrayReader.h"
#include "support/XvfbDesktop.h"
#include "windows/BellowsIcon.h"

#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusVariant>

#include <doctest/doctest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

// Xlib's macros last: they clash with names in Qt's headers.
#include "app/linux/TrayTone.h"
#include "support/XClient.h"

#include <X11/Xatom.h>

using namespace orvane;
using namespace orvane::test;

namespace {

const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");

// Also before the application exists, when there are no events to run.
bool spinUntil(const std::function<bool()>& done) {
    return test::spinUntil(done, 5.0);
}

// The watcher is up before the application, as in a session with a panel:
// Qt asks for a tray host once per process.
struct Desktop {
    XvfbDesktop desktop{"640x480x24"};
    PrivateBuses buses;
    ChildProcess watcher{{"/usr/bin/python3", ORVANE_SN_WATCHER}, buses.folder() / "watcher.log"};
    bool watching = spinUntil([this] { return buses.hasOwner(Bus::session, watcherName); });
    int argc = 1;
    char name[16] = "tray_test";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
};

} // namespace

TEST_CASE("the status item registers with the panel's watcher, its D-Bus menu shows the applied "
          "settings, and a style clicked there selects that style only") {
    Desktop world;
    REQUIRE(world.watching);
    Notes log;
    MenuBarController controller(log);
    REQUIRE(controller.trayAvailable());
    CHECK(log.lines.empty());

    std::vector<std::string> calls;
    for (auto* other :
         {&controller.onPauseResume, &controller.onToggleAccordion, &controller.onShowSettings,
          &controller.onCheckForUpdates, &controller.onShowAbout, &controller.onQuit}) {
        *other = [&calls] { calls.emplace_back("other"); };
    }
    controller.onSelectCover = [&](CoverMode) { calls.emplace_back("cover"); };
    controller.onSelectStyle = [&](FoldStyle style) { calls.emplace_back(rawValue(style)); };
    // Without an updater's answer, updates can be checked; opening the menu asks first.
    QAction* updates = controller.menu().actions().at(8);
    controller.onMenuWillOpen = [&] { controller.canCheckForUpdates = [] { return false; }; };
    CHECK(updates->isEnabled());
    emit controller.menu().aboutToShow();
    CHECK_FALSE(updates->isEnabled());
    controller.apply(Availability::paused());
    FoldSettings settings;
    settings.paused = true;
    settings.style = FoldStyle::rime;
    settings.coverMode = CoverMode::veil;
    settings.accordion = true;
    controller.apply(settings);

    QStringList items;
    REQUIRE(spinUntil([&] { return !(items = registeredItems(world.buses)).isEmpty(); }));
    const QString item = items.constFirst();
    const std::string expected = R"(Paused (disabled)
---
Resume Orvane
Style
  Vellum [ ]
  Dusk [ ]
  Rime [x]
  Ridge [ ]
Cover
  When the lid rests half closed, frost the screen or show a clock. (disabled)
  ---
  Off [ ]
  Veil [x]
  Clock [ ]
Accordion [x]
---
Settings…
Check for Updates… (disabled)
About Orvane
---
Quit Orvane
)";
    std::map<std::string, int> ids;
    CHECK(menuLayout(world.buses, item, ids) == expected);

    callMenu(world.buses, item, QStringLiteral("Event"),
             {ids.at("Dusk"), QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    spinUntil([&] { return !calls.empty(); });
    CHECK(calls == std::vector<std::string>{"dusk"});
    // Until the settings say otherwise, the mark stays on the stored style.
    CHECK(menuLayout(world.buses, item, ids) == expected);

    // The angle beside the icon, for hosts that show a label.
    // The item lives in this process: the call must let its events run.
    const auto property = [&](const QString& name) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            item, QStringLiteral("/StatusNotifierItem"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.kde.StatusNotifierItem") << name;
        const QDBusMessage reply =
            world.buses.connection(Bus::session).call(get, QDBus::BlockWithGui);
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    };
    CHECK(property(QStringLiteral("XAyatanaLabel")).toString().isEmpty());
    settings.showAngleInMenuBar = true;
    controller.apply(settings);
    controller.applyLidSample(75.4, 0);
    CHECK(property(QStringLiteral("XAyatanaLabel")).toString() == QStringLiteral("75°"));
    const QDBusArgument tip = property(QStringLiteral("ToolTip")).value<QDBusArgument>();
    QString icon;
    QString title;
    tip.beginStructure();
    tip >> icon;
    tip.beginArray();
    while (!tip.atEnd()) {
        tip.beginStructure();
        int width = 0;
        int height = 0;
        QByteArray bytes;
        tip >> width >> height >> bytes;
        tip.endStructure();
    }
    tip.endArray();
    tip >> title;
    tip.endStructure();
    CHECK(title.startsWith(QStringLiteral("75° · ")));
}

TEST_CASE("the bellows icon is 16x14 points, twice that in pixels at 2x, and looks different "
          "for each variant and width") {
    const QImage ready = BellowsIcon::image(75, IconVariant::ready, 2);
    CHECK(ready.size() == QSize(32, 28));
    CHECK(ready.devicePixelRatio() == 2);
    CHECK(BellowsIcon::image(75, IconVariant::ready, 1).size() == QSize(16, 14));
    CHECK(BellowsIcon::image(75, IconVariant::slashed, 2) != ready);
    CHECK(BellowsIcon::image(75, IconVariant::paused, 2) != ready);
    CHECK(BellowsIcon::image(120, IconVariant::ready, 2) != ready);
    CHECK(BellowsIcon::image(0, IconVariant::ready, 2) ==
          BellowsIcon::image(30, IconVariant::ready, 2));
    CHECK(BellowsIcon::dotImage(DotColor::green, 2).size() == QSize(16, 16));
    CHECK(BellowsIcon::dotImage(DotColor::green, 1) != BellowsIcon::dotImage(DotColor::amber, 1));
}

TEST_CASE("an XEmbed tray's panel, light or dark, gets strokes that stand out from it") {
    XvfbDesktop desktop{"640x480x24"};
    XClient x;
    CHECK_FALSE(trayPanelTone(x.x));
    // A tray on a light grey panel, as trayer draws it.
    const Window tray = x.window({0, 0, 200, 24}, 0xd8d8d8);
    XSetSelectionOwner(x.x, XInternAtom(x.x, "_NET_SYSTEM_TRAY_S0", False), tray, CurrentTime);
    XSync(x.x, False);
    CHECK(trayPanelTone(x.x) == BellowsIcon::PanelTone::light);
    // The colours a tray announces come first: light text is a dark panel.
    const unsigned long colours[12] = {0xffff, 0xffff, 0xffff};
    XChangeProperty(x.x, tray, XInternAtom(x.x, "_NET_SYSTEM_TRAY_COLORS", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(colours), 12);
    XSync(x.x, False);
    CHECK(trayPanelTone(x.x) == BellowsIcon::PanelTone::dark);

    // The strokes' mean lightness, opaque pixels only.
    const auto lightness = [](BellowsIcon::PanelTone tone) {
        const QImage image = BellowsIcon::image(75, IconVariant::paused, 2, tone);
        double sum = 0;
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int xAt = 0; xAt < image.width(); ++xAt) {
                const QColor pixel = image.pixelColor(xAt, y);
                if (pixel.alpha() > 100) {
                    sum += pixel.lightnessF();
                    ++count;
                }
            }
        }
        return count > 0 ? sum / count : -1.0;
    };
    CHECK(lightness(BellowsIcon::PanelTone::light) < 0.4);
    CHECK(lightness(BellowsIcon::PanelTone::dark) > 0.6);
}
