// SPDX-License-Identifier: MIT
// A QMenu offered to a panel over com.canonical.dbusmenu: its layout with
// labels, check marks, enabled states, separators and submenus; a click on an
// item triggers its action; the panel's "opened" runs the menu's aboutToShow.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusVariant>
#include <QHash>
#include <QList>
#include <QVariantMap>

class QAction;
class QMenu;

namespace orvane {

struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};

class DBusMenuExporter final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)

public:
    // `host` is the object registered on the bus; `menu` must outlive this.
    DBusMenuExporter(QObject* host, QMenu& menu);

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   orvane::DBusMenuLayout& layout);
    QList<orvane::DBusMenuItem> GetGroupProperties(const QList<int>& ids,
                                                   const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    bool AboutToShow(int id);

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    int idOf(QAction* action);
    QVariantMap propertiesOf(QAction* action) const;
    DBusMenuLayout layoutOf(QMenu& menu, int id, int depth);
    void changed();

    QMenu& menu_;
    QHash<QAction*, int> ids_;
    QHash<int, QAction*> actions_;
    int nextId_ = 1;
    uint revision_ = 1;
};

// Registers the D-Bus types above; once per process, before the first export.
void registerDBusMenuTypes();

} // namespace orvane

Q_DECLARE_METATYPE(orvane::DBusMenuLayout)
Q_DECLARE_METATYPE(orvane::DBusMenuItem)
