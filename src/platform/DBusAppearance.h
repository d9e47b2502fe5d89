// SPDX-License-Identifier: MIT
// Reduce Motion and the dark colour scheme from the desktop portal's settings:
// GNOME's enable-animations and color-scheme, the freedesktop color-scheme, and
// KDE's AnimationDurationFactor. Off and light while the portal is absent.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class QDBusMessage;

namespace orvane {

class DBusAppearance final : public QObject {
public:
    DBusAppearance(const QDBusConnection& session, std::function<void()> changed);

    bool reduceMotion() const;
    bool dark() const;

private:
    // The settings as far as the portal told them.
    struct Settings {
        std::optional<bool> gnomeAnimations;
        std::optional<QString> gnomeScheme;
        std::optional<unsigned> freedesktopScheme;
        std::optional<double> kdeAnimationFactor;
    };

    void appeared();
    void read(const QString& group, const QString& key, bool readOne, int asked);
    void settingChanged(const QDBusMessage& message);
    void apply(const QString& group, const QString& key, const QVariant& value);
    void update(Settings settings);

    QDBusConnection bus_;
    std::function<void()> changed_;
    Settings settings_;
    // Answers asked for before the portal went are stale.
    int generation_ = 0;
};

} // namespace orvane
