// SPDX-License-Identifier: MIT
// Hands one signal of one service's object to a function. QtDBus delivers signals
// only to slots; this is the one slot the system-event adapters share.
#pragma once

#include "platform/DBusObject.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <functional>

namespace orvane {

class DBusSignalRelay final : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const QDBusMessage&)>;

    // Follows `signal` of `object` from whichever process owns its name, now or later.
    DBusSignalRelay(const QDBusConnection& bus, DBusObject object, QString signal, Handler handler,
                    QObject* parent = nullptr);
    ~DBusSignalRelay() override;
    DBusSignalRelay(const DBusSignalRelay&) = delete;
    DBusSignalRelay& operator=(const DBusSignalRelay&) = delete;

private Q_SLOTS:
    void deliver(const QDBusMessage& message);

private:
    QDBusConnection bus_;
    DBusObject object_;
    QString signal_;
    Handler handler_;
};

} // namespace orvane
