// SPDX-License-Identifier: MIT
#include "support/TrayReader.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusVariant>

#include <doctest/doctest.h>

namespace orvane::test {

namespace {

const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");

void describe(const QDBusArgument& node, int depth, std::string& lines,
              std::map<std::string, int>& ids) {
    int id = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    if (depth > 0) {
        std::string line(2 * (depth - 1), ' ');
        const bool separator = properties.value("type").toString() == "separator";
        line += separator ? "---" : properties.value("label").toString().toStdString();
        ids[properties.value("label").toString().toStdString()] = id;
        if (properties.value("toggle-type").toString() == "checkmark") {
            line += properties.value("toggle-state").toInt() == 1 ? " [x]" : " [ ]";
        }
        if (!properties.value("enabled", true).toBool()) {
            line += " (disabled)";
        }
        lines += line + '\n';
    }
    node.beginArray();
    while (!node.atEnd()) {
        QDBusVariant child;
        node >> child;
        describe(child.variant().value<QDBusArgument>(), depth + 1, lines, ids);
    }
    node.endArray();
    node.endStructure();
}

} // namespace

QStringList registeredItems(const PrivateBuses& buses) {
    const QDBusMessage reply =
        buses.call(Bus::session, watcherName, QStringLiteral("/StatusNotifierWatcher"),
                   QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                   {watcherName, QStringLiteral("RegisteredStatusNotifierItems")});
    return reply.arguments().value(0).value<QDBusVariant>().variant().toStringList();
}

QDBusMessage callMenu(const PrivateBuses& buses, const QString& item, const QString& method,
                      const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        item, QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"), method);
    message.setArguments(arguments);
    const auto mode = QCoreApplication::instance() != nullptr ? QDBus::BlockWithGui : QDBus::Block;
    const QDBusMessage reply = buses.connection(Bus::session).call(message, mode);
    REQUIRE_MESSAGE(reply.type() == QDBusMessage::ReplyMessage, reply.errorMessage().toStdString());
    return reply;
}

std::string menuLayout(const PrivateBuses& buses, const QString& item,
                       std::map<std::string, int>& ids) {
    const QDBusMessage reply =
        callMenu(buses, item, QStringLiteral("GetLayout"), {0, -1, QStringList()});
    std::string lines;
    describe(reply.arguments().value(1).value<QDBusArgument>(), 0, lines, ids);
    return lines;
}

QString trayTooltip(const PrivateBuses& buses, const QString& item) {
    const QDBusMessage reply =
        buses.call(Bus::session, item, QStringLiteral("/StatusNotifierItem"),
                   QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                   {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("ToolTip")});
    const QDBusArgument tip =
        reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    QString icon;
    QString title;
    QString text;
    tip.beginStructure();
    tip >> icon;
    tip.beginArray();
    while (!tip.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray pixels;
        tip.beginStructure();
        tip >> width >> height >> pixels;
        tip.endStructure();
    }
    tip.endArray();
    tip >> title >> text;
    tip.endStructure();
    return title + " " + text;
}

} // namespace orvane::test
