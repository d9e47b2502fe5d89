// SPDX-License-Identifier: MIT
// Asynchronous D-Bus calls whose answers come back on the owner's thread, and the
// reading of replies the system-event adapters share.
#pragma once

#include "platform/DBusObject.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>
#include <QVariantMap>

#include <functional>

class QObject;

namespace orvane::dbus {

// Sends `call` and hands the reply (or the error) to `done`, unless `context` is gone.
void callAsync(const QDBusConnection& bus, const QDBusMessage& call, QObject* context,
               std::function<void(const QDBusMessage& reply)> done);

// Every property of `object`'s interface, to `done` only when they could be read.
void readProperties(const QDBusConnection& bus, const DBusObject& object, QObject* context,
                    std::function<void(const QVariantMap&)> done);

// The value inside any number of D-Bus variant wrappers.
QVariant unwrap(QVariant value);

// A reply's first argument, unwrapped; invalid for an error or an empty reply.
QVariant firstArgument(const QDBusMessage& reply);

// An a{sv} argument as a map; empty when it is something else.
QVariantMap toMap(const QVariant& argument);

} // namespace orvane::dbus
