// SPDX-License-Identifier: MIT
#include "platform/DBusNameWatch.h"

#include "platform/DBusCalls.h"

#include <QDBusServiceWatcher>

#include <utility>

namespace orvane {

DBusNameWatch::DBusNameWatch(const QDBusConnection& bus, const QString& name,
                             std::function<void()> appeared, std::function<void()> vanished,
                             QObject* parent)
    : QObject(parent), appeared_(std::move(appeared)), vanished_(std::move(vanished)) {
    // Watching before asking: a name that comes in between is seen by one or both,
    // and reading a service twice is harmless.
    auto* watcher =
        new QDBusServiceWatcher(name, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                newOwner.isEmpty() ? vanished_() : appeared_();
            });
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << name;
    dbus::callAsync(bus, ask, this, [this](const QDBusMessage& reply) {
        if (dbus::firstArgument(reply).toBool()) {
            appeared_();
        }
    });
}

} // namespace orvane
