// SPDX-License-Identifier: MIT
#include "platform/DBusLogin.h"

#include "platform/DBusCalls.h"
#include "platform/DBusNameWatch.h"
#include "platform/DBusPropertyWatch.h"
#include "platform/DBusSignalRelay.h"

#include <QDBusObjectPath>

#include <utility>

namespace orvane {

namespace {

const QString service = QStringLiteral("org.freedesktop.login1");
const QString managerPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");

} // namespace

DBusLogin::DBusLogin(const QDBusConnection& system, SystemLog& log, Handlers handlers)
    : bus_(system), log_(log), handlers_(std::move(handlers)) {
    new DBusSignalRelay(
        bus_, {service, managerPath, managerInterface}, QStringLiteral("PrepareForSleep"),
        [this](const QDBusMessage& message) {
            if (!message.arguments().isEmpty()) {
                setAsleep(message.arguments().constFirst().toBool());
            }
        },
        this);
    new DBusNameWatch(
        bus_, service, [this] { appeared(); }, [this] { vanished(); }, this);
}

void DBusLogin::appeared() {
    const int asked = ++generation_;
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    if (!id.isEmpty()) {
        findSession(id, asked);
        return;
    }
    // Outside a login session's environment: the session logind picks for this process.
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, managerPath + QStringLiteral("/session/auto"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << sessionInterface << QStringLiteral("Id");
    dbus::callAsync(bus_, call, this, [this, asked](const QDBusMessage& reply) {
        if (asked == generation_) {
            findSession(dbus::firstArgument(reply).toString(), asked);
        }
    });
}

void DBusLogin::findSession(const QString& id, int asked) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, managerPath, managerInterface,
                                                       QStringLiteral("GetSession"));
    call << id;
    dbus::callAsync(bus_, call, this, [this, asked](const QDBusMessage& reply) {
        if (asked != generation_) {
            return;
        }
        const QString path = dbus::firstArgument(reply).value<QDBusObjectPath>().path();
        if (!path.isEmpty()) {
            watchSession(path);
        } else if (!noSessionNoted_) {
            noSessionNoted_ = true;
            log_.note("system", "logind knows no session of ours: lock and session state "
                                "come from the screen savers only");
        }
    });
}

void DBusLogin::watchSession(const QString& path) {
    if (session_ != nullptr) {
        session_->deleteLater();
    }
    session_ = new DBusPropertyWatch(
        bus_, {service, path, sessionInterface},
        [this](const QVariantMap& values) { sessionProperties(values); },
        // logind going is handled once, by its own watch, in a fixed order.
        [] {}, this);
}

void DBusLogin::sessionProperties(const QVariantMap& values) {
    bool changed = false;
    for (auto [name, fact] : {std::pair{QStringLiteral("LockedHint"), &lockedHint_},
                              std::pair{QStringLiteral("Active"), &active_}}) {
        const auto found = values.constFind(name);
        if (found != values.cend() && dbus::unwrap(*found).toBool() != *fact) {
            *fact = !*fact;
            changed = true;
        }
    }
    if (changed) {
        handlers_.session();
    }
}

void DBusLogin::vanished() {
    ++generation_;
    if (session_ != nullptr) {
        session_->deleteLater();
        session_ = nullptr;
    }
    setAsleep(false);
    resetSession();
}

void DBusLogin::resetSession() {
    if (lockedHint_ || !active_) {
        lockedHint_ = false;
        active_ = true;
        handlers_.session();
    }
}

void DBusLogin::setAsleep(bool asleep) {
    if (asleep != asleep_) {
        asleep_ = asleep;
        handlers_.sleep(asleep);
    }
}

} // namespace orvane
