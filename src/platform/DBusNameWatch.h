// SPDX-License-Identifier: MIT
// Whether a name on a bus has an owner: `appeared` when it has one (at the start,
// later, and again for each new owner), `vanished` when it loses it.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

namespace orvane {

class DBusNameWatch final : public QObject {
public:
    DBusNameWatch(const QDBusConnection& bus, const QString& name, std::function<void()> appeared,
                  std::function<void()> vanished, QObject* parent = nullptr);

private:
    std::function<void()> appeared_;
    std::function<void()> vanished_;
};

} // namespace orvane
