// SPDX-License-Identifier: MIT
// One interface's properties on one object of a service that may come and go:
// all of them each time the service appears, then every change; `vanished` when
// the service goes.
#pragma once

#include "platform/DBusObject.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace orvane {

class DBusPropertyWatch final : public QObject {
public:
    DBusPropertyWatch(const QDBusConnection& bus, DBusObject object,
                      std::function<void(const QVariantMap&)> changed,
                      std::function<void()> vanished, QObject* parent = nullptr);

private:
    void readAll();
    void propertiesChanged(const QDBusMessage& message);

    QDBusConnection bus_;
    DBusObject object_;
    std::function<void(const QVariantMap&)> changed_;
    std::function<void()> vanished_;
    // Replies asked for before the service went are stale.
    int generation_ = 0;
};

} // namespace orvane
