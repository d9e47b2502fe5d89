// SPDX-License-Identifier: MIT
#include "windows/Wallpaper.h"

#include "core/Tuning.h"
#include "platform/DBusBus.h"
#include "platform/DBusCalls.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTextStream>
#include <QUrl>
#include <QXmlStreamReader>

#include <array>
#include <atomic>

namespace orvane {

namespace {

const QString gnomeBackground = QStringLiteral("org.gnome.desktop.background");

std::optional<QImage> imageAt(const QString& location) {
    const QString trimmed = location.trimmed();
    const QUrl url(trimmed);
    const QString path = url.isLocalFile() ? url.toLocalFile() : trimmed;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return std::nullopt;
    }
    QImage image(path);
    return image.isNull() ? std::nullopt : std::optional(std::move(image));
}

std::optional<QImage> firstImage(const QStringList& locations) {
    for (const QString& location : locations) {
        if (auto image = imageAt(location)) {
            return image;
        }
    }
    return std::nullopt;
}

QString configHome() {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return config.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : config;
}

// Plasma keeps one wallpaper per containment, under a group like
// [Containments][1][Wallpaper][org.kde.image][General].
QStringList plasmaImages() {
    QFile file(configHome() + QStringLiteral("/plasma-org.kde.plasma.desktop-appletsrc"));
    QStringList images;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return images;
    }
    QTextStream in(&file);
    bool inImageGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inImageGroup = line.endsWith(QStringLiteral("[Wallpaper][org.kde.image][General]"));
        } else if (inImageGroup && line.startsWith(QStringLiteral("Image="))) {
            images << line.mid(static_cast<qsizetype>(sizeof("Image=") - 1));
        }
    }
    return images;
}

// One last-image property per monitor and workspace.
QStringList xfceImages() {
    QFile file(configHome() +
               QStringLiteral("/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml"));
    QStringList images;
    if (!file.open(QIODevice::ReadOnly)) {
        return images;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QStringLiteral("property") &&
            xml.attributes().value(QStringLiteral("name")) == QStringLiteral("last-image")) {
            images << xml.attributes().value(QStringLiteral("value")).toString();
        }
    }
    return images;
}

enum class PortalAnswer { value, absent, refused, silent };

// ReadOne where the portal has it; Read, which wraps the value once more, where not.
PortalAnswer readPortal(const QDBusConnection& bus, const QString& group, const QString& key,
                        QString& value) {
    for (const QString& method : {QStringLiteral("ReadOne"), QStringLiteral("Read")}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"),
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Settings"), method);
        call << group << key;
        const QDBusMessage reply = bus.call(call, QDBus::Block, Tuning::wallpaperLookupTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            value = dbus::firstArgument(reply).toString();
            return PortalAnswer::value;
        }
        const QString error = reply.errorName();
        // A portal that lets a call time out would let the next one time out too.
        if (error == QDBusError::errorString(QDBusError::NoReply) ||
            error == QDBusError::errorString(QDBusError::Timeout)) {
            return PortalAnswer::silent;
        }
        if (error == QDBusError::errorString(QDBusError::ServiceUnknown) ||
            error == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
            return PortalAnswer::absent;
        }
        if (error != QDBusError::errorString(QDBusError::UnknownMethod)) {
            break;
        }
    }
    return PortalAnswer::refused;
}

// gsettings prints a GVariant string: 'file:///...'.
QString gsettingsValue(const QString& schema, const QString& key) {
    QProcess gsettings;
    gsettings.start(QStringLiteral("gsettings"), {QStringLiteral("get"), schema, key});
    if (!gsettings.waitForFinished(Tuning::wallpaperLookupTimeoutMs) || gsettings.exitCode() != 0) {
        gsettings.kill();
        gsettings.waitForFinished();
        return {};
    }
    QString text = QString::fromUtf8(gsettings.readAllStandardOutput()).trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('\'')) &&
        text.endsWith(QLatin1Char('\''))) {
        text = text.mid(1, text.size() - 2);
    }
    return text;
}

// The picture for the colour scheme in use first. gsettings only where the bus is there
// but the portal is not, so that nothing reads a dconf database that is not the session's.
QStringList gnomeImages() {
    const DBusBus session(DBusBus::Kind::session);
    if (!session.isConnected()) {
        return {};
    }
    const QString interface = QStringLiteral("org.gnome.desktop.interface");
    const QString colorScheme = QStringLiteral("color-scheme");
    QString scheme;
    const PortalAnswer first = readPortal(session.connection(), interface, colorScheme, scheme);
    if (first == PortalAnswer::silent) {
        return {};
    }
    const bool portal = first != PortalAnswer::absent;
    auto read = [&](const QString& schema, const QString& key) {
        QString value;
        if (portal) {
            readPortal(session.connection(), schema, key, value);
        } else {
            value = gsettingsValue(schema, key);
        }
        return value;
    };
    if (!portal) {
        scheme = read(interface, colorScheme);
    }
    const QString light = read(gnomeBackground, QStringLiteral("picture-uri"));
    const QString dark = read(gnomeBackground, QStringLiteral("picture-uri-dark"));
    return scheme == QStringLiteral("prefer-dark") ? QStringList{dark, light}
                                                   : QStringList{light, dark};
}

} // namespace

namespace {
std::atomic<bool> ignoringUserWallpaper = false;
} // namespace

void ignoreUserWallpaper() {
    ignoringUserWallpaper = true;
}

std::optional<QImage> loadWallpaper() {
    if (ignoringUserWallpaper) {
        return std::nullopt;
    }
    using Source = QStringList (*)();
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    // The running desktop's own setting first: the others' may be left over.
    std::array<Source, 3> order{gnomeImages, plasmaImages, xfceImages};
    if (desktop.contains(QStringLiteral("KDE"), Qt::CaseInsensitive)) {
        order = {plasmaImages, xfceImages, gnomeImages};
    } else if (desktop.contains(QStringLiteral("XFCE"), Qt::CaseInsensitive)) {
        order = {xfceImages, plasmaImages, gnomeImages};
    }
    for (const Source source : order) {
        if (auto image = firstImage(source())) {
            return image;
        }
    }
    return std::nullopt;
}

} // namespace orvane
