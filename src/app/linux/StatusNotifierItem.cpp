// SPDX-License-Identifier: MIT
#include "app/linux/StatusNotifierItem.h"

#include "app/linux/DBusMenuExporter.h"
#include "core/AppIdentity.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QMenu>
#include <QtEndian>

#include <unistd.h>

namespace orvane {

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap) {
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap) {
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& tip) {
    argument.beginStructure();
    argument << tip.iconName << tip.pixmaps << tip.title << tip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& tip) {
    argument.beginStructure();
    argument >> tip.iconName >> tip.pixmaps >> tip.title >> tip.text;
    argument.endStructure();
    return argument;
}

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");

class ItemAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QList<orvane::SniPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(orvane::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)

public:
    explicit ItemAdaptor(StatusNotifierItem& item) : QDBusAbstractAdaptor(&item), item_(item) {
        connect(&item, &StatusNotifierItem::iconChanged, this, &ItemAdaptor::NewIcon);
        connect(&item, &StatusNotifierItem::toolTipChanged, this, &ItemAdaptor::NewToolTip);
        connect(&item, &StatusNotifierItem::labelChanged, this, &ItemAdaptor::XAyatanaNewLabel);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QString::fromUtf8(AppIdentity::identifier); }
    QString title() const { return QString::fromUtf8(AppIdentity::name); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return {}; }
    QList<SniPixmap> iconPixmap() const { return item_.pixmaps(); }
    SniToolTip toolTip() const { return item_.toolTip(); }
    bool itemIsMenu() const { return true; }
    QDBusObjectPath menu() const { return QDBusObjectPath(menuPath); }
    QString label() const { return item_.label(); }
    QString labelGuide() const { return QStringLiteral("100°"); }

public slots:
    // Hosts that ask the item to act get the menu, as the menu bar gives it.
    void Activate(int x, int y) { item_.menu().popup(QPoint(x, y)); }
    void SecondaryActivate(int, int) {}
    void ContextMenu(int x, int y) { item_.menu().popup(QPoint(x, y)); }
    void Scroll(int, const QString&) {}

signals:
    void NewIcon();
    void NewToolTip();
    void XAyatanaNewLabel(const QString& label, const QString& guide);

private:
    StatusNotifierItem& item_;
};

} // namespace

std::unique_ptr<StatusNotifierItem> StatusNotifierItem::create(QMenu& menu) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(watcherService).value()) {
        return nullptr;
    }
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<QList<SniPixmap>>();
    qDBusRegisterMetaType<SniToolTip>();
    registerDBusMenuTypes();
    const QString service =
        QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(static_cast<qint64>(::getpid()));
    std::unique_ptr<StatusNotifierItem> item(new StatusNotifierItem(menu, service));
    new ItemAdaptor(*item);
    auto* menuHost = new QObject(item.get());
    new DBusMenuExporter(menuHost, menu);
    if (!bus.registerObject(itemPath, item.get(), QDBusConnection::ExportAdaptors) ||
        !bus.registerObject(menuPath, menuHost, QDBusConnection::ExportAdaptors) ||
        !bus.registerService(service)) {
        bus.unregisterObject(itemPath);
        bus.unregisterObject(menuPath);
        return nullptr;
    }
    if (!item->announce()) {
        bus.unregisterService(service);
        bus.unregisterObject(itemPath);
        bus.unregisterObject(menuPath);
        return nullptr;
    }
    // A panel that restarts brings a new watcher: the item tells it again.
    auto* watcher = new QDBusServiceWatcher(watcherService, bus,
                                            QDBusServiceWatcher::WatchForRegistration, item.get());
    QObject::connect(watcher, &QDBusServiceWatcher::serviceRegistered, item.get(),
                     [raw = item.get()] { raw->announce(); });
    return item;
}

StatusNotifierItem::StatusNotifierItem(QMenu& menu, QString service)
    : menu_(menu), service_(std::move(service)) {}

bool StatusNotifierItem::announce() {
    QDBusMessage registration = QDBusMessage::createMethodCall(
        watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService,
        QStringLiteral("RegisterStatusNotifierItem"));
    registration << service_;
    return QDBusConnection::sessionBus().call(registration).type() == QDBusMessage::ReplyMessage;
}

StatusNotifierItem::~StatusNotifierItem() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(service_);
    bus.unregisterObject(itemPath);
    bus.unregisterObject(menuPath);
}

void StatusNotifierItem::setIcon(const QIcon& icon) {
    pixmaps_.clear();
    for (const QSize size : icon.availableSizes()) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        SniPixmap pixmap{image.width(), image.height(), {}};
        pixmap.argb.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
        auto* out = reinterpret_cast<quint32*>(pixmap.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                *out++ = qToBigEndian(row[x]);
            }
        }
        pixmaps_.push_back(std::move(pixmap));
    }
    emit iconChanged();
}

void StatusNotifierItem::setToolTip(const QString& text) {
    if (text != toolTip_) {
        toolTip_ = text;
        emit toolTipChanged();
    }
}

void StatusNotifierItem::setLabel(const QString& label) {
    if (label != label_) {
        label_ = label;
        emit labelChanged(label_, QStringLiteral("100°"));
    }
}

} // namespace orvane

#include "StatusNotifierItem.moc"
