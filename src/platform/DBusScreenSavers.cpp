// SPDX-License-Identifier: MIT
#include "platform/DBusScreenSavers.h"

#include "platform/DBusCalls.h"
#include "platform/DBusNameWatch.h"
#include "platform/DBusSignalRelay.h"

#include <algorithm>
#include <utility>

namespace orvane {

DBusScreenSavers::DBusScreenSavers(const QDBusConnection& session, std::function<void()> changed)
    : bus_(session), changed_(std::move(changed)) {
    for (const char* name : {"org.gnome.ScreenSaver", "org.freedesktop.ScreenSaver",
                             "org.mate.ScreenSaver", "org.cinnamon.ScreenSaver"}) {
        const QString service = QString::fromLatin1(name);
        // KDE serves the freedesktop name at /ScreenSaver; the others at their name's path.
        const QString path =
            service == QLatin1String("org.freedesktop.ScreenSaver")
                ? QStringLiteral("/ScreenSaver")
                : QLatin1Char('/') + QString(service).replace(QLatin1Char('.'), QLatin1Char('/'));
        savers_.push_back({{service, path, service}});
    }
    for (std::size_t i = 0; i < savers_.size(); ++i) {
        new DBusSignalRelay(
            bus_, savers_[i].object, QStringLiteral("ActiveChanged"),
            [this, i](const QDBusMessage& message) {
                if (!message.arguments().isEmpty()) {
                    set(i, message.arguments().constFirst().toBool());
                }
            },
            this);
        new DBusNameWatch(
            bus_, savers_[i].object.service, [this, i] { appeared(i); },
            [this, i] {
                ++savers_[i].generation;
                set(i, false);
            },
            this);
    }
}

bool DBusScreenSavers::anyActive() const {
    return std::any_of(savers_.begin(), savers_.end(), [](const Saver& s) { return s.active; });
}

void DBusScreenSavers::appeared(std::size_t index) {
    const DBusObject& object = savers_[index].object;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        object.service, object.path, object.interface, QStringLiteral("GetActive"));
    dbus::callAsync(bus_, call, this,
                    [this, index, asked = savers_[index].generation](const QDBusMessage& reply) {
                        if (asked == savers_[index].generation &&
                            reply.type() == QDBusMessage::ReplyMessage) {
                            set(index, dbus::firstArgument(reply).toBool());
                        }
                    });
}

void DBusScreenSavers::set(std::size_t index, bool active) {
    if (savers_[index].active != active) {
        savers_[index].active = active;
        changed_();
    }
}

} // namespace orvane
