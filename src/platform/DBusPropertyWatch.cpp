// SPDX-License-Identifier: MIT
#include "platform/DBusPropertyWatch.h"

#include "platform/DBusCalls.h"
#include "platform/DBusNameWatch.h"
#include "platform/DBusSignalRelay.h"

#include <QStringList>

#include <utility>

namespace orvane {

DBusPropertyWatch::DBusPropertyWatch(const QDBusConnection& bus, DBusObject object,
                                     std::function<void(const QVariantMap&)> changed,
                                     std::function<void()> vanished, QObject* parent)
    : QObject(parent), bus_(bus), object_(std::move(object)), changed_(std::move(changed)),
      vanished_(std::move(vanished)) {
    // The signal is followed before anything is read, so no change falls between.
    new DBusSignalRelay(
        bus_, {object_.service, object_.path, QStringLiteral("org.freedesktop.DBus.Properties")},
        QStringLiteral("PropertiesChanged"),
        [this](const QDBusMessage& message) { propertiesChanged(message); }, this);
    new DBusNameWatch(
        bus_, object_.service, [this] { readAll(); },
        [this] {
            ++generation_;
            vanished_();
        },
        this);
}

void DBusPropertyWatch::readAll() {
    dbus::readProperties(bus_, object_, this, [this, asked = generation_](const QVariantMap& all) {
        if (asked == generation_) {
            changed_(all);
        }
    });
}

void DBusPropertyWatch::propertiesChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 3 || arguments.at(0).toString() != object_.interface) {
        return;
    }
    const QVariantMap values = dbus::toMap(arguments.at(1));
    if (!values.isEmpty()) {
        changed_(values);
    }
    // Some services only say a property changed, not to what.
    if (!arguments.at(2).toStringList().isEmpty()) {
        readAll();
    }
}

} // namespace orvane
