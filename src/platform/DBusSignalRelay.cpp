// SPDX-License-Identifier: MIT
#include "platform/DBusSignalRelay.h"

#include <utility>

namespace orvane {

DBusSignalRelay::DBusSignalRelay(const QDBusConnection& bus, DBusObject object, QString signal,
                                 Handler handler, QObject* parent)
    : QObject(parent), bus_(bus), object_(std::move(object)), signal_(std::move(signal)),
      handler_(std::move(handler)) {
    // A slot with only the message takes the signal whatever its arguments.
    bus_.connect(object_.service, object_.path, object_.interface, signal_, this,
                 SLOT(deliver(QDBusMessage)));
}

DBusSignalRelay::~DBusSignalRelay() {
    bus_.disconnect(object_.service, object_.path, object_.interface, signal_, this,
                    SLOT(deliver(QDBusMessage)));
}

void DBusSignalRelay::deliver(const QDBusMessage& message) {
    handler_(message);
}

} // namespace orvane
