// SPDX-License-Identifier: MIT
#include "platform/DBusCalls.h"

#include <QDBusArgument>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <utility>

namespace orvane::dbus {

void callAsync(const QDBusConnection& bus, const QDBusMessage& call, QObject* context,
               std::function<void(const QDBusMessage& reply)> done) {
    // Owned by the context, so a reply after the owner is gone goes nowhere.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(watcher->reply());
                     });
}

void readProperties(const QDBusConnection& bus, const DBusObject& object, QObject* context,
                    std::function<void(const QVariantMap&)> done) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        object.service, object.path, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("GetAll"));
    call << object.interface;
    callAsync(bus, call, context, [done = std::move(done)](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            done(toMap(reply.arguments().constFirst()));
        }
    });
}

QVariant unwrap(QVariant value) {
    while (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

QVariant firstArgument(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {};
    }
    return unwrap(reply.arguments().constFirst());
}

QVariantMap toMap(const QVariant& argument) {
    if (argument.metaType() == QMetaType::fromType<QVariantMap>()) {
        return argument.toMap();
    }
    if (argument.metaType() != QMetaType::fromType<QDBusArgument>()) {
        return {};
    }
    const auto raw = argument.value<QDBusArgument>();
    if (raw.currentSignature() != QLatin1String("a{sv}")) {
        return {};
    }
    QVariantMap map;
    raw >> map;
    return map;
}

} // namespace orvane::dbus
