// SPDX-License-Identifier: MIT
#include "app/linux/MenuBarController.h"

#include "app/linux/StatusNotifierItem.h"
#include "app/linux/TrayTone.h"
#include "platform/QtX11.h"
#include "settings/FoldSettings.h"
#include "windows/BellowsIcon.h"

#include <QAction>
#include <QCursor>
#include <QKeySequence>
#include <QString>

#include <string_view>

namespace orvane {

namespace {

void fire(const std::function<void()>& callback) {
    if (callback) {
        callback();
    }
}

} // namespace

MenuBarController::MenuBarController(SystemLog& log) : log_(log) {
    buildMenu();
    QObject::connect(&menu_, &QMenu::aboutToShow, &menu_, [this] {
        fire(onMenuWillOpen);
        refreshMenu();
        // The panel may have changed its colours with the desktop's theme.
        if (readTone()) {
            refreshIcon();
        }
    });
    refreshMenu();
    readTone();
    refreshIcon();
    // Our own item where a watcher runs, so the angle can stand beside the icon.
    item_ = StatusNotifierItem::create(menu_);
    refreshIcon();
    refreshToolTip();
    tray_.setContextMenu(&menu_);
    // A D-Bus tray shows the menu itself; an XEmbed one only reports the click.
    QObject::connect(&tray_, &QSystemTrayIcon::activated, &menu_,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger && !menu_.platformMenu()) {
                             menu_.popup(QCursor::pos());
                         }
                     });
    trayAvailable_ = item_ != nullptr || QSystemTrayIcon::isSystemTrayAvailable();
    if (item_) {
        // The XEmbed icon stays hidden.
    } else if (trayAvailable_) {
        tray_.show();
    } else {
        log_.note("menu", "No system tray: the status item is not shown. Launching Orvane again "
                          "opens its settings.");
    }
}

MenuBarController::~MenuBarController() {
    tray_.hide();
}

void MenuBarController::buildMenu() {
    menu_.setToolTipsVisible(true);
    statusLine_ = menu_.addAction(QString());
    statusLine_->setEnabled(false);
    menu_.addSeparator();
    pause_ = menu_.addAction(QString());
    QObject::connect(pause_, &QAction::triggered, &menu_, [this] { fire(onPauseResume); });

    QMenu* styles = menu_.addMenu(QString::fromUtf8(StatusMenuText::style));
    styles->setToolTipsVisible(true);
    for (const FoldStyle style : allFoldStyles) {
        QAction* item = styles->addAction(QString::fromUtf8(displayName(style)));
        item->setData(QString::fromUtf8(rawValue(style)));
        // Qt menus have no subtitles: the summary shows on hover.
        item->setToolTip(QString::fromUtf8(summary(style)));
        item->setCheckable(true);
        QObject::connect(item, &QAction::triggered, &menu_, [this, item] {
            if (const auto chosen = foldStyleFromRaw(item->data().toString().toStdString())) {
                if (onSelectStyle) {
                    onSelectStyle(*chosen);
                }
            }
            // The click toggled the mark; the settings decide it.
            refreshMenu();
        });
        styleItems_.emplace_back(style, item);
    }

    QMenu* covers = menu_.addMenu(QString::fromUtf8(StatusMenuText::cover));
    covers->setToolTipsVisible(true);
    covers->addAction(QString::fromUtf8(StatusMenuText::coverIntro))->setEnabled(false);
    covers->addSeparator();
    for (const CoverMode mode : allCoverModes) {
        QAction* item = covers->addAction(QString::fromUtf8(displayName(mode)));
        item->setData(QString::fromUtf8(rawValue(mode)));
        item->setToolTip(QString::fromUtf8(summary(mode)));
        item->setCheckable(true);
        QObject::connect(item, &QAction::triggered, &menu_, [this, item] {
            if (const auto chosen = coverModeFromRaw(item->data().toString().toStdString())) {
                if (onSelectCover) {
                    onSelectCover(*chosen);
                }
            }
            refreshMenu();
        });
        coverItems_.emplace_back(mode, item);
    }

    accordion_ = menu_.addAction(QString::fromUtf8(StatusMenuText::accordion));
    accordion_->setCheckable(true);
    QObject::connect(accordion_, &QAction::triggered, &menu_, [this] {
        fire(onToggleAccordion);
        refreshMenu();
    });
    menu_.addSeparator();
    settings_ = menu_.addAction(QString::fromUtf8(StatusMenuText::settings));
    QAction* settings = settings_;
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QObject::connect(settings, &QAction::triggered, &menu_, [this] { fire(onShowSettings); });
    updates_ = menu_.addAction(QString::fromUtf8(StatusMenuText::updates));
    QObject::connect(updates_, &QAction::triggered, &menu_, [this] { fire(onCheckForUpdates); });
    QAction* about = menu_.addAction(QString::fromUtf8(StatusMenuText::about));
    QObject::connect(about, &QAction::triggered, &menu_, [this] { fire(onShowAbout); });
    menu_.addSeparator();
    quit_ = menu_.addAction(QString::fromUtf8(StatusMenuText::quit));
    QAction* quit = quit_;
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, &menu_, [this] { fire(onQuit); });
}

void MenuBarController::apply(const Availability& availability) {
    if (model_.apply(availability)) {
        refreshIcon();
    }
    refreshStatusLine();
    refreshToolTip();
}

void MenuBarController::apply(const FoldSettings& settings) {
    if (model_.apply(settings)) {
        refreshToolTip();
    }
    refreshMenu();
}

void MenuBarController::applyLidSample(std::optional<double> angle, double velocity) {
    if (model_.applyLidSample(angle, velocity)) {
        refreshIcon();
        refreshToolTip();
    }
}

void MenuBarController::refreshMenu() {
    refreshStatusLine();
    const StatusItemModel::State& state = model_.state();
    pause_->setText(QString::fromUtf8(model_.pauseTitle()));
    for (const auto& [style, item] : styleItems_) {
        item->setChecked(style == state.style);
    }
    for (const auto& [mode, item] : coverItems_) {
        item->setChecked(mode == state.coverMode);
    }
    accordion_->setChecked(state.accordion);
    updates_->setEnabled(canCheckForUpdates ? canCheckForUpdates() : true);
}

void MenuBarController::refreshStatusLine() {
    const StatusPresentation& presentation = model_.presentation();
    statusLine_->setText(QString::fromUtf8(presentation.menuLine));
    // Setting an icon always announces a change, which a D-Bus menu sends on.
    if (shownDot_ != presentation.dotColor) {
        shownDot_ = presentation.dotColor;
        statusLine_->setIcon(BellowsIcon::dotIcon(presentation.dotColor));
    }
}

void MenuBarController::refreshToolTip() {
    const QString tip = QString::fromUtf8(model_.toolTip());
    if (item_) {
        item_->setToolTip(tip);
        item_->setLabel(QString::fromStdString(model_.angleText()));
    } else {
        tray_.setToolTip(tip);
    }
}

void MenuBarController::refreshIcon() {
    const QIcon icon =
        BellowsIcon::icon(model_.displayedAngle(), model_.presentation().icon, tone_);
    if (item_) {
        item_->setIcon(icon);
    } else {
        tray_.setIcon(icon);
    }
}

bool MenuBarController::readTone() {
    const BellowsIcon::PanelTone tone =
        trayPanelTone(qtX11Display()).value_or(BellowsIcon::PanelTone::dark);
    const bool changed = tone != tone_;
    tone_ = tone;
    return changed;
}

} // namespace orvane
