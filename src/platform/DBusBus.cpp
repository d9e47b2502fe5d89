// SPDX-License-Identifier: MIT
#include "platform/DBusBus.h"

#include <QDBusError>
#include <QFileInfo>

namespace orvane {

namespace {

// The address libdbus would use, without its X11 autolaunch: that would start a
// bus of our own where the desktop has none.
QString addressFor(DBusBus::Kind kind) {
    if (kind == DBusBus::Kind::system) {
        const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
        return address.isEmpty() ? QStringLiteral("unix:path=/var/run/dbus/system_bus_socket")
                                 : address;
    }
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty()) {
        return address;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtime + QStringLiteral("/bus");
    return !runtime.isEmpty() && QFileInfo::exists(socket) ? QStringLiteral("unix:path=") + socket
                                                           : QString();
}

} // namespace

DBusBus::DBusBus(Kind kind)
    : name_(QStringLiteral("orvane-%1-%2")
                .arg(kind == Kind::system ? QStringLiteral("system") : QStringLiteral("session"))
                .arg(reinterpret_cast<quintptr>(this), 0, 16)),
      connection_(name_) {
    const QString address = addressFor(kind);
    if (address.isEmpty()) {
        problem_ = QStringLiteral("no address");
        return;
    }
    connection_ = QDBusConnection::connectToBus(address, name_);
    if (!connection_.isConnected()) {
        problem_ = connection_.lastError().message();
        if (problem_.isEmpty()) {
            problem_ = QStringLiteral("cannot connect to ") + address;
        }
    }
}

DBusBus::~DBusBus() {
    QDBusConnection::disconnectFromBus(name_);
}

} // namespace orvane
