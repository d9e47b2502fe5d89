// SPDX-License-Identifier: MIT
#include "platform/DBusPower.h"

#include "platform/DBusCalls.h"
#include "platform/DBusPropertyWatch.h"

#include <utility>

namespace orvane {

DBusPower::DBusPower(const QDBusConnection& system, std::function<void()> changed)
    : changed_(std::move(changed)) {
    const QString upower = QStringLiteral("org.freedesktop.UPower");
    new DBusPropertyWatch(
        system, {upower, QStringLiteral("/org/freedesktop/UPower"), upower},
        [this](const QVariantMap& values) {
            if (const auto found = values.constFind(QStringLiteral("OnBattery"));
                found != values.cend()) {
                setOnBattery(dbus::unwrap(*found).toBool());
            }
        },
        [this] { setOnBattery(std::nullopt); }, this);

    const std::array<QString, 2> names = {QStringLiteral("org.freedesktop.UPower.PowerProfiles"),
                                          QStringLiteral("net.hadess.PowerProfiles")};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QString path =
            QLatin1Char('/') + QString(names[i]).replace(QLatin1Char('.'), QLatin1Char('/'));
        new DBusPropertyWatch(
            system, {names[i], path, names[i]},
            [this, i](const QVariantMap& values) {
                if (const auto found = values.constFind(QStringLiteral("ActiveProfile"));
                    found != values.cend()) {
                    setProfile(i, dbus::unwrap(*found).toString());
                }
            },
            [this, i] { setProfile(i, std::nullopt); }, this);
    }
}

bool DBusPower::lowPowerMode() const {
    for (const auto& profile : profiles_) {
        if (profile) {
            return *profile == QLatin1String("power-saver");
        }
    }
    return false;
}

void DBusPower::setOnBattery(std::optional<bool> onBattery) {
    if (onBattery != onBattery_) {
        onBattery_ = onBattery;
        changed_();
    }
}

void DBusPower::setProfile(std::size_t index, std::optional<QString> profile) {
    if (profile != profiles_[index]) {
        const bool before = lowPowerMode();
        profiles_[index] = std::move(profile);
        if (lowPowerMode() != before) {
            changed_();
        }
    }
}

} // namespace orvane
