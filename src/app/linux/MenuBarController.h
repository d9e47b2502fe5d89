// SPDX-License-Identifier: MIT
// The status item: the bellows icon in the system tray and its menu. It knows
// nothing of the effect; every choice in the menu goes out through a callback.
#pragma once

#include "app/StatusItemModel.h"
#include "core/Availability.h"
#include "core/SystemLog.h"
#include "cover/CoverMode.h"
#include "render/FoldStyle.h"
#include "windows/BellowsIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAction;

namespace orvane {

class StatusNotifierItem;

struct FoldSettings;

class MenuBarController {
public:
    // Needs a QApplication. Without a system tray it notes so in the log once and
    // keeps its menu up to date all the same.
    explicit MenuBarController(SystemLog& log);
    ~MenuBarController();
    MenuBarController(const MenuBarController&) = delete;
    MenuBarController& operator=(const MenuBarController&) = delete;

    void apply(const Availability& availability);
    void apply(const FoldSettings& settings);
    void applyLidSample(std::optional<double> angle, double velocity);

    bool trayAvailable() const { return trayAvailable_; }
    QMenu& menu() { return menu_; }
    // Settings and Quit, whose shortcuts the menu shows: the program's windows take them
    // too, so they work wherever the menu or a window of ours has the keyboard.
    QList<QAction*> shortcutActions() const { return {settings_, quit_}; }

    std::function<void()> onPauseResume, onToggleAccordion, onShowSettings, onCheckForUpdates,
        onShowAbout, onQuit, onMenuWillOpen;
    std::function<void(FoldStyle)> onSelectStyle;
    std::function<void(CoverMode)> onSelectCover;
    // Asked whenever the menu is brought up to date; unset means updates can be checked.
    std::function<bool()> canCheckForUpdates;

private:
    void buildMenu();
    // Titles, check marks and enabled states from the model. Also run on every
    // settings change, since a menu shown over D-Bus may never announce its opening.
    void refreshMenu();
    void refreshStatusLine();
    void refreshIcon();
    void refreshToolTip();

    SystemLog& log_;
    StatusItemModel model_;
    // The panel behind the icon, read again each time the menu opens; true when it changed.
    bool readTone();

    BellowsIcon::PanelTone tone_ = BellowsIcon::PanelTone::dark;
    QAction* settings_ = nullptr;
    QAction* quit_ = nullptr;
    // Before the tray icon, which refers to it until it goes.
    QMenu menu_;
    QSystemTrayIcon tray_;
    std::unique_ptr<StatusNotifierItem> item_;
    bool trayAvailable_ = false;
    std::optional<DotColor> shownDot_;

    QAction* statusLine_ = nullptr;
    QAction* pause_ = nullptr;
    std::vector<std::pair<FoldStyle, QAction*>> styleItems_;
    std::vector<std::pair<CoverMode, QAction*>> coverItems_;
    QAction* accordion_ = nullptr;
    QAction* updates_ = nullptr;
};

} // namespace orvane
