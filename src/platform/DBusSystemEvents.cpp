// SPDX-License-Identifier: MIT
#include "platform/DBusSystemEvents.h"

#include "platform/DBusAppearance.h"
#include "platform/DBusLogin.h"
#include "platform/DBusPower.h"
#include "platform/DBusScreenSavers.h"

#include <QStringList>

#include <utility>

namespace orvane {

DBusSystemEvents::DBusSystemEvents(SystemEventsListener& listener, SystemLog& log)
    : listener_(listener), system_(DBusBus::Kind::system), session_(DBusBus::Kind::session) {
    if (system_.isConnected()) {
        login_ = std::make_unique<DBusLogin>(
            system_.connection(), log,
            DBusLogin::Handlers{[this](bool asleep) { sleepChanged(asleep); },
                                [this] { sessionChanged(); }});
        power_ = std::make_unique<DBusPower>(system_.connection(), [this] { powerChanged(); });
    }
    if (session_.isConnected()) {
        savers_ =
            std::make_unique<DBusScreenSavers>(session_.connection(), [this] { sessionChanged(); });
        appearance_ = std::make_unique<DBusAppearance>(session_.connection(),
                                                       [this] { appearanceChanged(); });
    }
    QStringList missing;
    for (const auto& [name, bus] :
         {std::pair{"system bus", &system_}, std::pair{"session bus", &session_}}) {
        if (!bus->isConnected()) {
            missing << QStringLiteral("%1 (%2)").arg(QLatin1String(name), bus->problem());
        }
    }
    // One line for both buses: a machine without D-Bus says so once.
    if (!missing.isEmpty()) {
        log.note("system", QStringLiteral("no D-Bus %1: its system events are not followed, "
                                          "their facts keep their defaults")
                               .arg(missing.join(QStringLiteral(", ")))
                               .toStdString());
    }
}

DBusSystemEvents::~DBusSystemEvents() = default;

void DBusSystemEvents::sleepChanged(bool asleep) {
    asleep ? listener_.willSleep() : listener_.didWake();
}

void DBusSystemEvents::sessionChanged() {
    const bool locked = (login_ && login_->lockedHint()) || (savers_ && savers_->anyActive());
    if (locked != locked_) {
        locked_ = locked;
        listener_.screenLocked(locked);
    }
    const bool active = !login_ || login_->sessionActive();
    if (active != active_) {
        active_ = active;
        listener_.sessionActive(active);
    }
}

void DBusSystemEvents::powerChanged() {
    const std::optional<bool> onBattery = power_->onBattery();
    const bool lowPower = power_->lowPowerMode();
    if (onBattery != onBattery_ || lowPower != lowPower_) {
        onBattery_ = onBattery;
        lowPower_ = lowPower;
        listener_.powerStateChanged();
    }
}

void DBusSystemEvents::appearanceChanged() {
    const bool reduceMotion = appearance_->reduceMotion();
    if (reduceMotion != reduceMotion_) {
        reduceMotion_ = reduceMotion;
        listener_.reduceMotionChanged();
    }
    const bool dark = appearance_->dark();
    if (dark != dark_) {
        dark_ = dark;
        if (onAppearanceChanged) {
            onAppearanceChanged(dark);
        }
    }
}

} // namespace orvane
