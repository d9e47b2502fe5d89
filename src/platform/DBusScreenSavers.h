// SPDX-License-Identifier: MIT
// Every desktop's screen saver on the session bus (GNOME, KDE and freedesktop,
// MATE, Cinnamon) and whether any of them is active.
#pragma once

#include "platform/DBusObject.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <vector>

namespace orvane {

class DBusScreenSavers final : public QObject {
public:
    DBusScreenSavers(const QDBusConnection& session, std::function<void()> changed);

    bool anyActive() const;

private:
    struct Saver {
        DBusObject object;
        bool active = false;
        // Answers asked for before the saver went are stale.
        int generation = 0;
    };

    void appeared(std::size_t index);
    void set(std::size_t index, bool active);

    QDBusConnection bus_;
    std::function<void()> changed_;
    std::vector<Saver> savers_;
};

} // namespace orvane
