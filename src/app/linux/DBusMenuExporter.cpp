// SPDX-License-Identifier: MIT
#include "app/linux/DBusMenuExporter.h"

#include <QAction>
#include <QActionGroup>
#include <QBuffer>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QEvent>
#include <QMenu>

namespace orvane {

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& layout) {
    argument.beginStructure();
    argument << layout.id << layout.properties;
    argument.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout& child : layout.children) {
        argument << QDBusVariant(QVariant::fromValue(child));
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& layout) {
    argument.beginStructure();
    argument >> layout.id >> layout.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        layout.children.push_back(qdbus_cast<DBusMenuLayout>(child.variant()));
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

void registerDBusMenuTypes() {
    qDBusRegisterMetaType<DBusMenuLayout>();
    qDBusRegisterMetaType<DBusMenuItem>();
    qDBusRegisterMetaType<QList<DBusMenuItem>>();
}

DBusMenuExporter::DBusMenuExporter(QObject* host, QMenu& menu)
    : QDBusAbstractAdaptor(host), menu_(menu) {
    QObject::connect(&menu_, &QMenu::aboutToShow, this, [this] { changed(); });
}

int DBusMenuExporter::idOf(QAction* action) {
    if (const auto found = ids_.find(action); found != ids_.end()) {
        return *found;
    }
    const int id = nextId_++;
    ids_.insert(action, id);
    actions_.insert(id, action);
    QObject::connect(action, &QAction::changed, this, [this] { changed(); });
    QObject::connect(action, &QObject::destroyed, this, [this, action, id] {
        ids_.remove(action);
        actions_.remove(id);
    });
    return id;
}

QVariantMap DBusMenuExporter::propertiesOf(QAction* action) const {
    QVariantMap properties;
    if (action->isSeparator()) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return properties;
    }
    QString label = action->text();
    label.replace(u'_', QStringLiteral("__")).replace(u'&', u'_');
    properties.insert(QStringLiteral("label"), label);
    if (!action->isEnabled()) {
        properties.insert(QStringLiteral("enabled"), false);
    }
    if (!action->isVisible()) {
        properties.insert(QStringLiteral("visible"), false);
    }
    if (action->isCheckable()) {
        const bool radio = action->actionGroup() != nullptr && action->actionGroup()->isExclusive();
        properties.insert(QStringLiteral("toggle-type"),
                          radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
        properties.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
    }
    if (action->menu() != nullptr) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    }
    if (!action->icon().isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        action->icon().pixmap(16).save(&buffer, "PNG");
        properties.insert(QStringLiteral("icon-data"), png);
    }
    return properties;
}

DBusMenuLayout DBusMenuExporter::layoutOf(QMenu& menu, int id, int depth) {
    DBusMenuLayout layout;
    layout.id = id;
    if (id != 0) {
        layout.properties = propertiesOf(actions_.value(id));
    } else {
        layout.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    }
    if (depth == 0) {
        return layout;
    }
    for (QAction* action : menu.actions()) {
        const int child = idOf(action);
        if (action->menu() != nullptr) {
            layout.children.push_back(layoutOf(*action->menu(), child, depth - 1));
        } else {
            layout.children.push_back({child, propertiesOf(action), {}});
        }
    }
    return layout;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList&,
                                 DBusMenuLayout& layout) {
    QMenu* menu = &menu_;
    if (parentId != 0) {
        QAction* action = actions_.value(parentId);
        menu = action != nullptr ? action->menu() : nullptr;
    }
    layout = menu != nullptr ? layoutOf(*menu, parentId, recursionDepth < 0 ? 64 : recursionDepth)
                             : DBusMenuLayout{parentId, {}, {}};
    return revision_;
}

QList<DBusMenuItem> DBusMenuExporter::GetGroupProperties(const QList<int>& ids,
                                                         const QStringList&) {
    QList<DBusMenuItem> items;
    for (const int id : ids) {
        if (QAction* action = actions_.value(id)) {
            items.push_back({id, propertiesOf(action)});
        }
    }
    return items;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
    QAction* action = actions_.value(id);
    return QDBusVariant(action != nullptr ? propertiesOf(action).value(name) : QVariant());
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    if (eventId == QStringLiteral("clicked")) {
        if (QAction* action = actions_.value(id); action != nullptr && action->isEnabled()) {
            // After the reply: the action may open a window or quit.
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
        }
    } else if (eventId == QStringLiteral("opened") && id == 0) {
        emit menu_.aboutToShow();
    }
}

bool DBusMenuExporter::AboutToShow(int id) {
    if (id == 0) {
        emit menu_.aboutToShow();
    }
    return false;
}

void DBusMenuExporter::changed() {
    ++revision_;
    emit LayoutUpdated(revision_, 0);
}

} // namespace orvane
