// SPDX-License-Identifier: MIT
// The D-Bus system events against python3-dbusmock's logind, screen saver, UPower,
// power-profiles-daemon and portal on private buses.
#include "platform/DBusSystemEvents.h"
#include "support/Doubles.h"
#include "support/PrivateBuses.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <doctest/doctest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString login1 = QStringLiteral("org.freedesktop.login1");
const QString loginPath = QStringLiteral("/org/freedesktop/login1");
const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/c1");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString gnomeSaver = QStringLiteral("org.gnome.ScreenSaver");
const QString upower = QStringLiteral("org.freedesktop.UPower");
const QString hadess = QStringLiteral("net.hadess.PowerProfiles");
const QString profiles = QStringLiteral("org.freedesktop.UPower.PowerProfiles");
const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString gnomeInterface = QStringLiteral("org.gnome.desktop.interface");

// Every call the adapter makes, in order, as one word each.
struct Recorder final : SystemEventsListener {
    std::vector<std::string> calls;
    void willSleep() override { calls.emplace_back("willSleep"); }
    void didWake() override { calls.emplace_back("didWake"); }
    void screenLocked(bool locked) override { calls.emplace_back(locked ? "locked" : "unlocked"); }
    void sessionActive(bool active) override { calls.emplace_back(active ? "active" : "inactive"); }
    void screensSlept(bool) override { calls.emplace_back("screensSlept"); }
    void screenParametersChanged() override { calls.emplace_back("screens"); }
    void powerStateChanged() override { calls.emplace_back("power"); }
    void thermalStateChanged() override { calls.emplace_back("thermal"); }
    void reduceMotionChanged() override { calls.emplace_back("reduceMotion"); }
    void frontmostAppChanged() override { calls.emplace_back("frontmost"); }
};

// Runs the event loop until `done` holds or `milliseconds` pass.
bool spinUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Long enough for a signal already sent to arrive, where a test checks that
// nothing more came.
void settle() {
    spinUntil([] { return false; }, 150);
}

void must(const QDBusMessage& reply) {
    REQUIRE_MESSAGE(reply.type() != QDBusMessage::ErrorMessage, reply.errorMessage().toStdString());
}

// An application, private buses, this process in logind's session c1, and the
// adapter once started.
struct World {
    int argc = 1;
    char name[32] = "system_events_test";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    PrivateBuses buses;
    ScopedEnv sessionId{"XDG_SESSION_ID", std::string("c1")};
    Recorder listener;
    Notes log;
    std::optional<DBusSystemEvents> events;

    void start() {
        events.emplace(listener, log);
        events->onAppearanceChanged = [this](bool dark) {
            listener.calls.emplace_back(dark ? "dark" : "light");
        };
    }

    // The calls so far, once there are at least `count`.
    std::string calls(std::size_t count) {
        spinUntil([&] { return listener.calls.size() >= count; });
        std::string joined;
        for (const std::string& call : listener.calls) {
            joined += (joined.empty() ? "" : " ") + call;
        }
        return joined;
    }

    void system(const QString& path, const QString& interface, const QString& method,
                const QVariantList& arguments, const QString& service = login1) {
        must(buses.call(Bus::system, service, path, interface, method, arguments));
    }
    void session(const QString& service, const QString& path, const QString& interface,
                 const QString& method, const QVariantList& arguments) {
        must(buses.call(Bus::session, service, path, interface, method, arguments));
    }

    void prepareForSleep(bool sleeping) {
        system(loginPath, mockInterface, QStringLiteral("EmitSignal"),
               {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                QStringLiteral("b"), QVariantList{sleeping}});
    }
    void addSession() {
        system(loginPath, mockInterface, QStringLiteral("AddSession"),
               {QStringLiteral("c1"), QStringLiteral("seat0"), QVariant::fromValue(1000U),
                QStringLiteral("user"), true});
    }
    void lockedHint(bool locked) {
        system(sessionPath, sessionInterface, QStringLiteral("SetLockedHint"), {locked});
    }
    void sessionActive(bool active) {
        system(sessionPath, mockInterface, QStringLiteral("UpdateProperties"),
               {sessionInterface, QVariantMap{{QStringLiteral("Active"), active}}});
    }
    void saverActive(bool active) {
        session(gnomeSaver, QStringLiteral("/org/gnome/ScreenSaver"), gnomeSaver,
                QStringLiteral("SetActive"), {active});
    }
    void properties(const QString& service, const QString& path, const QString& method,
                    const QVariantMap& values) {
        system(path, mockInterface, method, {service, values}, service);
    }
    void setting(const QString& group, const QString& key, const QVariant& value) {
        session(portal, portalPath, mockInterface, QStringLiteral("SetSetting"),
                {group, key, QVariant::fromValue(QDBusVariant(value))});
    }
};

std::vector<std::string> logindTemplate() {
    return {"--template", "logind"};
}

std::vector<std::string> portalTemplate(const std::string& parameters) {
    return {"--template", ORVANE_PORTAL_TEMPLATE, "-p", parameters};
}

} // namespace

TEST_CASE("sleep and wake reach the listener in the order logind sends them") {
    World w;
    w.start();
    DBusMock logind(w.buses, Bus::system, login1, logindTemplate());
    w.prepareForSleep(true);
    w.prepareForSleep(false);
    w.prepareForSleep(true);
    w.prepareForSleep(false);
    CHECK(w.calls(4) == "willSleep didWake willSleep didWake");
}

TEST_CASE("locked while the session's hint or any screen saver says so and the session's "
          "activity from its Active flag") {
    World w;
    DBusMock logind(w.buses, Bus::system, login1, logindTemplate());
    w.addSession();
    w.lockedHint(true);
    std::optional<ScopedEnv> noSessionId;
    SUBCASE("the session found by XDG_SESSION_ID") {}
    SUBCASE("the session found by the Id of session/auto") {
        noSessionId.emplace("XDG_SESSION_ID", std::nullopt);
        addMockObject(w.buses, Bus::system, login1, loginPath,
                      QStringLiteral("/org/freedesktop/login1/session/auto"), sessionInterface,
                      {{QStringLiteral("Id"), QStringLiteral("c1")}});
    }
    w.start();
    CHECK(w.calls(1) == "locked");
    w.lockedHint(false);
    CHECK(w.calls(2) == "locked unlocked");

    DBusMock saver(w.buses, Bus::session, gnomeSaver, {"--template", "gnome_screensaver"});
    w.saverActive(true);
    CHECK(w.calls(3) == "locked unlocked locked");
    // Active changes on the same object after the hint, so they mark when it arrived.
    w.lockedHint(true);
    w.sessionActive(false);
    CHECK(w.calls(4) == "locked unlocked locked inactive");
    CHECK_FALSE(w.events->sessionActive());
    // The hint goes while the saver holds the lock.
    w.lockedHint(false);
    w.sessionActive(true);
    CHECK(w.calls(5) == "locked unlocked locked inactive active");
    CHECK(w.events->locked());
    // The saver goes while the hint holds it: nothing comes.
    w.lockedHint(true);
    w.sessionActive(false);
    CHECK(w.calls(6) == "locked unlocked locked inactive active inactive");
    w.saverActive(false);
    settle();
    CHECK(w.calls(6) == "locked unlocked locked inactive active inactive");
    CHECK(w.events->locked());
    w.lockedHint(false);
    CHECK(w.calls(7) == "locked unlocked locked inactive active inactive unlocked");
    CHECK_FALSE(w.events->locked());
}

TEST_CASE("battery from UPower and power saving from power-profiles-daemon under either name") {
    World w;
    w.start();
    DBusMock battery(w.buses, Bus::system, upower,
                     {"--template", "upower", "-p", R"({"OnBattery": true})"});
    CHECK(w.calls(1) == "power");
    CHECK(w.events->onBattery() == true);

    std::optional<DBusMock> older;
    std::optional<DBusMock> current;
    QString decides;
    QString path;
    SUBCASE("the older name alone") {
        older.emplace(w.buses, Bus::system, hadess,
                      std::vector<std::string>{"--template", "power_profiles_daemon"});
        decides = hadess;
        path = QStringLiteral("/net/hadess/PowerProfiles");
    }
    SUBCASE("the current name, which decides when both run") {
        older.emplace(w.buses, Bus::system, hadess,
                      std::vector<std::string>{"--template", "power_profiles_daemon", "-p",
                                               R"({"ActiveProfile": "power-saver"})"});
        CHECK(w.calls(2) == "power power");
        CHECK(w.events->lowPowerMode());
        path = QStringLiteral("/org/freedesktop/UPower/PowerProfiles");
        current.emplace(w.buses, Bus::system, profiles,
                        std::vector<std::string>{profiles.toStdString(), path.toStdString(),
                                                 profiles.toStdString()});
        w.properties(profiles, path, QStringLiteral("AddProperties"),
                     {{QStringLiteral("ActiveProfile"), QStringLiteral("balanced")}});
        w.properties(profiles, path, QStringLiteral("UpdateProperties"),
                     {{QStringLiteral("ActiveProfile"), QStringLiteral("balanced")}});
        CHECK(w.calls(3) == "power power power");
        decides = profiles;
    }
    w.listener.calls.clear();
    CHECK_FALSE(w.events->lowPowerMode());
    w.properties(decides, path, QStringLiteral("UpdateProperties"),
                 {{QStringLiteral("ActiveProfile"), QStringLiteral("power-saver")}});
    CHECK(w.calls(1) == "power");
    CHECK(w.events->lowPowerMode());
    w.properties(upower, QStringLiteral("/org/freedesktop/UPower"),
                 QStringLiteral("UpdateProperties"), {{QStringLiteral("OnBattery"), false}});
    CHECK(w.calls(2) == "power power");
    CHECK(w.events->onBattery() == false);
    CHECK(w.events->lowPowerMode());
}

TEST_CASE("Reduce Motion and the colour scheme from the portal's settings") {
    World w;
    std::string readOne;
    SUBCASE("a portal with ReadOne") {
        readOne = "true";
    }
    SUBCASE("an older portal with only Read") {
        readOne = "false";
    }
    DBusMock settings(w.buses, Bus::session, portal,
                      portalTemplate(R"({"ReadOne": )" + readOne +
                                     R"(, "settings": {"org.gnome.desktop.interface": )"
                                     R"({"enable-animations": false, "color-scheme": )"
                                     R"("prefer-dark"}}})"));
    w.start();
    CHECK(w.calls(2) == "reduceMotion dark");
    CHECK(w.events->reduceMotion());
    CHECK(w.events->darkAppearance());

    w.setting(gnomeInterface, QStringLiteral("enable-animations"), true);
    w.setting(gnomeInterface, QStringLiteral("color-scheme"), QStringLiteral("default"));
    CHECK(w.calls(4) == "reduceMotion dark reduceMotion light");
    CHECK_FALSE(w.events->reduceMotion());
    CHECK_FALSE(w.events->darkAppearance());

    // The freedesktop scheme, where the portal has it, decides over GNOME's.
    w.setting(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
              QVariant::fromValue(1U));
    w.setting(QStringLiteral("org.kde.kdeglobals.KDE"), QStringLiteral("AnimationDurationFactor"),
              0.0);
    CHECK(w.calls(6) == "reduceMotion dark reduceMotion light dark reduceMotion");
    w.setting(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
              QVariant::fromValue(2U));
    w.setting(gnomeInterface, QStringLiteral("color-scheme"), QStringLiteral("prefer-dark"));
    settle();
    CHECK(w.calls(7) == "reduceMotion dark reduceMotion light dark reduceMotion light");
    CHECK(w.events->reduceMotion());
}

TEST_CASE("services running at the start are read and services that go put their facts back "
          "to the defaults") {
    World w;
    DBusMock logind(w.buses, Bus::system, login1, logindTemplate());
    w.addSession();
    w.lockedHint(true);
    w.sessionActive(false);
    DBusMock battery(w.buses, Bus::system, upower,
                     {"--template", "upower", "-p", R"({"OnBattery": true})"});
    DBusMock profile(
        w.buses, Bus::system, hadess,
        {"--template", "power_profiles_daemon", "-p", R"({"ActiveProfile": "power-saver"})"});
    DBusMock settings(w.buses, Bus::session, portal,
                      portalTemplate(R"({"settings": {"org.gnome.desktop.interface": )"
                                     R"({"enable-animations": false, "color-scheme": )"
                                     R"("prefer-dark"}}})"));
    w.start();
    // Each service answers on its own, so only the set of calls is known.
    const std::string atStart = w.calls(6);
    for (const char* call : {"locked", "inactive", "power", "reduceMotion", "dark"}) {
        CHECK_MESSAGE(atStart.find(call) != std::string::npos, call);
    }
    CHECK(w.events->locked());
    CHECK_FALSE(w.events->sessionActive());
    CHECK(w.events->onBattery() == true);
    CHECK(w.events->lowPowerMode());
    w.prepareForSleep(true);
    CHECK(w.calls(7).ends_with("willSleep"));
    w.listener.calls.clear();

    logind.stop();
    CHECK(w.calls(3) == "didWake unlocked active");
    battery.stop();
    CHECK(w.calls(4) == "didWake unlocked active power");
    CHECK(w.events->onBattery() == std::nullopt);
    profile.stop();
    settings.stop();
    settle();
    CHECK(w.calls(7) == "didWake unlocked active power power reduceMotion light");
    CHECK_FALSE(w.events->locked());
    CHECK(w.events->sessionActive());
    CHECK_FALSE(w.events->lowPowerMode());
    CHECK_FALSE(w.events->reduceMotion());
    CHECK_FALSE(w.events->darkAppearance());
}

TEST_CASE("without D-Bus every fact keeps its default and the log has one line") {
    int argc = 1;
    char name[] = "system_events_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TempDir dir;
    ScopedEnv system("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (dir.path() / "none").string());
    ScopedEnv session("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    Recorder listener;
    Notes log;
    DBusSystemEvents events(listener, log);
    settle();
    CHECK(listener.calls.empty());
    REQUIRE(log.lines.size() == 1);
    CHECK(log.lines[0].starts_with("system: "));
    CHECK(events.onBattery() == std::nullopt);
    CHECK_FALSE(events.lowPowerMode());
    CHECK_FALSE(events.reduceMotion());
    CHECK_FALSE(events.darkAppearance());
    CHECK_FALSE(events.locked());
    CHECK(events.sessionActive());
}
