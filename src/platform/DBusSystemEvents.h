// SPDX-License-Identifier: MIT
// The system's events over D-Bus for the effect controller, from whichever desktop
// services run: sleep and wake (logind), lock (the session's lock hint and every
// screen saver), the session's activity, battery and power saving (UPower,
// power-profiles-daemon), Reduce Motion and the colour scheme (the desktop portal).
// A service that goes puts its facts back to safe defaults; without D-Bus every
// fact keeps its default.
#pragma once

#include "core/SystemLog.h"
#include "platform/DBusBus.h"
#include "system/SystemFacts.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace orvane {

class DBusAppearance;
class DBusLogin;
class DBusPower;
class DBusScreenSavers;

class DBusSystemEvents final : public QObject {
public:
    // Calls `listener` on this object's thread, in the order the signals came.
    DBusSystemEvents(SystemEventsListener& listener, SystemLog& log);
    ~DBusSystemEvents() override;
    DBusSystemEvents(const DBusSystemEvents&) = delete;
    DBusSystemEvents& operator=(const DBusSystemEvents&) = delete;

    // None while UPower is absent.
    std::optional<bool> onBattery() const { return onBattery_; }
    bool lowPowerMode() const { return lowPower_; }
    bool reduceMotion() const { return reduceMotion_; }
    bool darkAppearance() const { return dark_; }
    bool locked() const { return locked_; }
    bool sessionActive() const { return active_; }

    // The desktop's colour scheme turned dark (true) or light.
    std::function<void(bool dark)> onAppearanceChanged;

private:
    void sleepChanged(bool asleep);
    void sessionChanged();
    void powerChanged();
    void appearanceChanged();

    SystemEventsListener& listener_;
    DBusBus system_;
    DBusBus session_;
    std::unique_ptr<DBusLogin> login_;
    std::unique_ptr<DBusScreenSavers> savers_;
    std::unique_ptr<DBusPower> power_;
    std::unique_ptr<DBusAppearance> appearance_;

    // The facts as last announced.
    bool locked_ = false;
    bool active_ = true;
    std::optional<bool> onBattery_;
    bool lowPower_ = false;
    bool reduceMotion_ = false;
    bool dark_ = false;
};

} // namespace orvane
