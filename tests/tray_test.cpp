// SPDX-License-Identifier: MIT
// The status item in a tray: a StatusNotifierWatcher on a private session bus,
// the item registered with it, and its menu read and clicked over
// com.canonical.dbusmenu as a panel would. Also the icon's pixels.
#include "app/linux/BellowsIcon.h"
#include "app/linux/MenuBarController.h"
#include "settings/FoldSettings.h"
#include "support/Doubles.h"
#include "support/PrivateBuses.h"
#include "support/XvfbDesktop.h"

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

using namespace orvane;
using namespace orvane::test;

namespace {

const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");

// Also before the application exists, when there are no events to run.
bool spinUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
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

QStringList registeredItems(const PrivateBuses& buses) {
    const QDBusMessage reply =
        buses.call(Bus::session, watcherName, QStringLiteral("/StatusNotifierWatcher"),
                   QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                   {watcherName, QStringLiteral("RegisteredStatusNotifierItems")});
    return reply.arguments().value(0).value<QDBusVariant>().variant().toStringList();
}

// A call into this very process, so the main loop must keep running meanwhile.
QDBusMessage callMenu(const PrivateBuses& buses, const QString& item, const QString& method,
                      const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        item, QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"), method);
    message.setArguments(arguments);
    const QDBusMessage reply = buses.connection(Bus::session).call(message, QDBus::BlockWithGui);
    REQUIRE_MESSAGE(reply.type() == QDBusMessage::ReplyMessage, reply.errorMessage().toStdString());
    return reply;
}

// One line per entry, submenu entries indented: the label, "[x]" or "[ ]" for a
// check mark, "(disabled)"; "---" for a separator. `ids` maps labels to item ids.
void describe(const QDBusArgument& node, int depth, std::string& lines,
              std::map<std::string, int>& ids) {
    int id = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    if (depth > 0) {
        std::string line(2 * (depth - 1), ' ');
        const bool separator = properties.value("type").toString() == "separator";
        line += separator ? "---" : properties.value("label").toString().toStdString();
        ids[properties.value("label").toString().toStdString()] = id;
        if (properties.value("toggle-type").toString() == "checkmark") {
            line += properties.value("toggle-state").toInt() == 1 ? " [x]" : " [ ]";
        }
        if (!properties.value("enabled", true).toBool()) {
            line += " (disabled)";
        }
        lines += line + '\n';
    }
    node.beginArray();
    while (!node.atEnd()) {
        QDBusVariant child;
        node >> child;
        describe(child.variant().value<QDBusArgument>(), depth + 1, lines, ids);
    }
    node.endArray();
    node.endStructure();
}

std::string layout(const PrivateBuses& buses, const QString& item,
                   std::map<std::string, int>& ids) {
    const QDBusMessage reply =
        callMenu(buses, item, QStringLiteral("GetLayout"), {0, -1, QStringList()});
    std::string lines;
    describe(reply.arguments().value(1).value<QDBusArgument>(), 0, lines, ids);
    return lines;
}

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
    CHECK(layout(world.buses, item, ids) == expected);

    callMenu(world.buses, item, QStringLiteral("Event"),
             {ids.at("Dusk"), QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    spinUntil([&] { return !calls.empty(); });
    CHECK(calls == std::vector<std::string>{"dusk"});
    // Until the settings say otherwise, the mark stays on the stored style.
    CHECK(layout(world.buses, item, ids) == expected);
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
