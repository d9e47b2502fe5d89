// SPDX-License-Identifier: MIT
// The status item as a StatusNotifierItem of its own on the session bus: the
// icon's pixels, the tooltip, the angle beside the icon (XAyatanaLabel, which
// the AppIndicator hosts show) and the menu over com.canonical.dbusmenu.
// Used where a StatusNotifierWatcher runs; Qt's tray icon (XEmbed) elsewhere.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QMenu;

namespace orvane {

struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb; // ARGB32, network byte order
};

struct SniToolTip {
    QString iconName;
    QList<SniPixmap> pixmaps;
    QString title;
    QString text;
};

class StatusNotifierItem final : public QObject {
    Q_OBJECT
public:
    // Null where no watcher runs on the session bus, or the item cannot be registered.
    static std::unique_ptr<StatusNotifierItem> create(QMenu& menu);
    ~StatusNotifierItem() override;

    void setIcon(const QIcon& icon);
    void setToolTip(const QString& text);
    // Beside the icon where the host shows labels; empty for none.
    void setLabel(const QString& label);

    // For the adaptor.
    QList<SniPixmap> pixmaps() const { return pixmaps_; }
    // The whole text as the title, as hosts show it on one line.
    SniToolTip toolTip() const { return {{}, {}, toolTip_, {}}; }
    QString label() const { return label_; }
    QMenu& menu() const { return menu_; }

signals:
    void iconChanged();
    void toolTipChanged();
    void labelChanged(const QString& label, const QString& guide);

private:
    StatusNotifierItem(QMenu& menu, QString service);
    // Registers with the watcher; true when it took the item.
    bool announce();

    QMenu& menu_;
    QString service_;
    QList<SniPixmap> pixmaps_;
    QString toolTip_;
    QString label_;
};

} // namespace orvane

Q_DECLARE_METATYPE(orvane::SniPixmap)
Q_DECLARE_METATYPE(orvane::SniToolTip)
