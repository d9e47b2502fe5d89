// SPDX-License-Identifier: MIT
// logind on the system bus: sleep and wake, and this session's lock hint and
// active flag. The session's signals come only on its real object path, never on
// session/auto, so the path is resolved first.
#pragma once

#include "core/SystemLog.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace orvane {

class DBusPropertyWatch;

class DBusLogin final : public QObject {
public:
    struct Handlers {
        std::function<void(bool asleep)> sleep;
        // The lock hint or the active flag may have changed.
        std::function<void()> session;
    };

    DBusLogin(const QDBusConnection& system, SystemLog& log, Handlers handlers);

    bool lockedHint() const { return lockedHint_; }
    bool sessionActive() const { return active_; }

private:
    void appeared();
    void vanished();
    void findSession(const QString& id, int asked);
    void watchSession(const QString& path);
    void sessionProperties(const QVariantMap& values);
    void resetSession();
    void setAsleep(bool asleep);

    QDBusConnection bus_;
    SystemLog& log_;
    Handlers handlers_;
    DBusPropertyWatch* session_ = nullptr;
    // Answers asked for before logind went or came again are stale.
    int generation_ = 0;
    bool noSessionNoted_ = false;
    bool asleep_ = false;
    bool lockedHint_ = false;
    bool active_ = true;
};

} // namespace orvane
