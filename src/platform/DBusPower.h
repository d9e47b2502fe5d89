// SPDX-License-Identifier: MIT
// Battery or mains from UPower, and Low Power Mode from power-profiles-daemon
// under its current bus name or, where only that runs, its older one.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace orvane {

class DBusPower final : public QObject {
public:
    DBusPower(const QDBusConnection& system, std::function<void()> changed);

    // None while UPower is absent.
    std::optional<bool> onBattery() const { return onBattery_; }
    bool lowPowerMode() const;

private:
    void setOnBattery(std::optional<bool> onBattery);
    void setProfile(std::size_t index, std::optional<QString> profile);

    std::function<void()> changed_;
    std::optional<bool> onBattery_;
    // The active profile under each bus name, the current name first.
    std::array<std::optional<QString>, 2> profiles_;
};

} // namespace orvane
