// SPDX-License-Identifier: MIT
#include "platform/DBusAppearance.h"

#include "platform/DBusCalls.h"
#include "platform/DBusNameWatch.h"
#include "platform/DBusSignalRelay.h"

#include <QDBusError>
#include <QDBusMessage>

#include <utility>

namespace orvane {

namespace {

const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString gnomeGroup = QStringLiteral("org.gnome.desktop.interface");
const QString freedesktopGroup = QStringLiteral("org.freedesktop.appearance");
const QString kdeGroup = QStringLiteral("org.kde.kdeglobals.KDE");
const QString enableAnimations = QStringLiteral("enable-animations");
const QString colorScheme = QStringLiteral("color-scheme");
const QString animationFactor = QStringLiteral("AnimationDurationFactor");

// The freedesktop color-scheme value for "prefer dark".
constexpr unsigned freedesktopDark = 1;

} // namespace

DBusAppearance::DBusAppearance(const QDBusConnection& session, std::function<void()> changed)
    : bus_(session), changed_(std::move(changed)) {
    new DBusSignalRelay(
        bus_, {portal, portalPath, settingsInterface}, QStringLiteral("SettingChanged"),
        [this](const QDBusMessage& message) { settingChanged(message); }, this);
    new DBusNameWatch(
        bus_, portal, [this] { appeared(); },
        [this] {
            ++generation_;
            update({});
        },
        this);
}

bool DBusAppearance::reduceMotion() const {
    return (settings_.gnomeAnimations && !*settings_.gnomeAnimations) ||
           (settings_.kdeAnimationFactor && *settings_.kdeAnimationFactor <= 0.0);
}

bool DBusAppearance::dark() const {
    if (settings_.freedesktopScheme) {
        return *settings_.freedesktopScheme == freedesktopDark;
    }
    return settings_.gnomeScheme == QStringLiteral("prefer-dark");
}

void DBusAppearance::appeared() {
    const int asked = ++generation_;
    for (const auto& [group, key] :
         {std::pair{gnomeGroup, enableAnimations}, std::pair{gnomeGroup, colorScheme},
          std::pair{freedesktopGroup, colorScheme}, std::pair{kdeGroup, animationFactor}}) {
        read(group, key, true, asked);
    }
}

// ReadOne where the portal has it; Read (which wraps its answer in one more
// variant) on portals older than that.
void DBusAppearance::read(const QString& group, const QString& key, bool readOne, int asked) {
    QDBusMessage call = QDBusMessage::createMethodCall(portal, portalPath, settingsInterface,
                                                       readOne ? QStringLiteral("ReadOne")
                                                               : QStringLiteral("Read"));
    call << group << key;
    dbus::callAsync(
        bus_, call, this, [this, group, key, readOne, asked](const QDBusMessage& reply) {
            if (asked != generation_) {
                return;
            }
            if (reply.type() == QDBusMessage::ReplyMessage) {
                apply(group, key, dbus::firstArgument(reply));
            } else if (readOne &&
                       reply.errorName() == QDBusError::errorString(QDBusError::UnknownMethod)) {
                read(group, key, false, asked);
            }
        });
}

void DBusAppearance::settingChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() >= 3) {
        apply(arguments.at(0).toString(), arguments.at(1).toString(),
              dbus::unwrap(arguments.at(2)));
    }
}

void DBusAppearance::apply(const QString& group, const QString& key, const QVariant& value) {
    Settings next = settings_;
    bool ok = false;
    if (group == gnomeGroup && key == enableAnimations) {
        next.gnomeAnimations = value.toBool();
    } else if (group == gnomeGroup && key == colorScheme) {
        next.gnomeScheme = value.toString();
    } else if (group == freedesktopGroup && key == colorScheme) {
        const unsigned scheme = value.toUInt(&ok);
        next.freedesktopScheme = ok ? std::optional(scheme) : std::nullopt;
    } else if (group == kdeGroup && key == animationFactor) {
        // KDE's portal may hand the config file's text rather than a number.
        const double factor = value.toDouble(&ok);
        next.kdeAnimationFactor = ok ? std::optional(factor) : std::nullopt;
    } else {
        return;
    }
    update(std::move(next));
}

void DBusAppearance::update(Settings settings) {
    const bool motion = reduceMotion();
    const bool wasDark = dark();
    settings_ = std::move(settings);
    if (reduceMotion() != motion || dark() != wasDark) {
        changed_();
    }
}

} // namespace orvane
