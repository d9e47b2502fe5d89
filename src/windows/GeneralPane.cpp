// SPDX-License-Identifier: MIT
#include "windows/GeneralPane.h"

#include "windows/SettingsWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLayoutItem>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvane {

using namespace SettingsWidgets;
using P = SettingsModel::Property;

GeneralPane::GeneralPane(SettingsModel& model, const SettingsServices& services,
                         Refreshers& refreshers)
    : model_(model), services_(services) {
    QVBoxLayout* pane = paneLayout(this, 16);
    SettingsModel& m = model;
    sessionCard(pane, m, refreshers);

    QVBoxLayout* startup = card(pane, QStringLiteral("Startup"));
    auto* login = new QCheckBox(QStringLiteral("Launch at login"));
    startup->addWidget(login);
    connect(login, &QCheckBox::toggled, this, [&m](bool on) { m.setLaunchAtLogin(on); });
    auto* approval = new QWidget;
    auto* approvalRow = new QHBoxLayout(approval);
    approvalRow->setContentsMargins(0, 0, 0, 0);
    approvalRow->addWidget(
        note(QStringLiteral("Allow Orvane in system settings under Startup Applications.")), 1);
    auto* openLogin = new QPushButton(QStringLiteral("Open Startup Applications"));
    approvalRow->addWidget(openLogin);
    connect(openLogin, &QPushButton::clicked, this, [&m] { m.openLoginItemsSettings(); });
    startup->addWidget(approval);
    auto* loginError = note({});
    startup->addWidget(loginError);
    refreshers.follow({P::loginItemStatus, P::loginItemError}, [=, &m] {
        const QSignalBlocker quiet(login);
        login->setChecked(m.launchAtLoginOn());
        approval->setVisible(m.loginItemNeedsApproval());
        loginError->setVisible(m.loginItemError().has_value());
        if (m.loginItemError()) {
            loginError->setText(QString::fromStdString(*m.loginItemError()));
        }
    });

    QVBoxLayout* sound = card(pane, QStringLiteral("Sound"));
    auto* click = new QCheckBox(QStringLiteral("Click when the screen clears"));
    sound->addWidget(click);
    const SliderRow volume =
        sliderRow(QStringLiteral("Volume"), 0, percent, QStringLiteral("Click volume"));
    sound->addWidget(volume.row);
    auto* haptic = new QCheckBox(QStringLiteral("Tick on the trackpad when the screen clears"));
    sound->addWidget(haptic);
    haptic->setVisible(services.hapticTrackpad);
    connect(click, &QCheckBox::toggled, this,
            [&m](bool on) { m.edit([on](FoldSettings& s) { s.setSoundOnClear(on); }); });
    connect(volume.slider, &QSlider::valueChanged, this, [&m](int value) {
        m.edit([value](FoldSettings& s) { s.setClearVolume(value / double(percent)); });
    });
    connect(haptic, &QCheckBox::toggled, this,
            [&m](bool on) { m.edit([on](FoldSettings& s) { s.setHapticOnClear(on); }); });
    refreshers.follow({P::settings}, [=, &m] {
        const FoldSettings& s = m.settings();
        const QSignalBlocker q1(click), q2(volume.slider), q3(haptic);
        click->setChecked(s.soundOnClear);
        volume.row->setVisible(s.soundOnClear);
        volume.slider->setValue(static_cast<int>(std::lround(s.clearVolume * percent)));
        volume.readOut->setText(whole(s.clearVolume * percent) + QStringLiteral(" %"));
        haptic->setChecked(s.hapticOnClear);
    });

    QVBoxLayout* pause = card(pane, QStringLiteral("Pause"));
    auto* lowPower = new QCheckBox(QStringLiteral("Pause in Low Power Mode"));
    pause->addWidget(lowPower);
    connect(lowPower, &QCheckBox::toggled, this,
            [&m](bool on) { m.edit([on](FoldSettings& s) { s.pauseInLowPower = on; }); });
    pause->addWidget(new QLabel(QStringLiteral("Pause while these apps are in front")));
    auto* listed = new QVBoxLayout;
    pause->addLayout(listed);
    auto* add = new QToolButton;
    add->setText(QStringLiteral("Add a running app"));
    add->setPopupMode(QToolButton::InstantPopup);
    // Room for the menu's arrow beside the text.
    add->setMinimumWidth(add->sizeHint().width() + add->fontMetrics().height());
    auto* running = new QMenu(add);
    add->setMenu(running);
    pause->addWidget(add, 0, Qt::AlignLeft);
    connect(running, &QMenu::aboutToShow, this, [running, &m] {
        running->clear();
        m.refreshSystemState();
        for (const AppChoice& app : m.runningApps()) {
            running->addAction(QString::fromStdString(app.name),
                               [&m, id = app.appID] { m.addToBlocklist(id); });
        }
        if (running->isEmpty()) {
            running->addAction(QStringLiteral("No other apps are running."))->setEnabled(false);
        }
    });
    refreshers.follow({P::settings}, [=, &m] {
        const QSignalBlocker quiet(lowPower);
        lowPower->setChecked(m.settings().pauseInLowPower);
    });
    // The rows are made anew only when the list changed.
    refreshers.follow({P::blockedApps}, [=, this, &m] {
        while (QLayoutItem* item = listed->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        if (m.blockedApps().empty()) {
            listed->addWidget(note(QStringLiteral("No apps in the list.")));
        }
        for (const BlockedApp& app : m.blockedApps()) {
            auto* row = new QWidget;
            auto* line = new QHBoxLayout(row);
            line->setContentsMargins(0, 0, 0, 0);
            auto* icon = new QLabel;
            const QString iconName = QString::fromStdString(app.icon.value_or(std::string()));
            const QIcon image =
                iconName.startsWith(u'/') ? QIcon(iconName) : QIcon::fromTheme(iconName);
            icon->setPixmap(image.pixmap(20, 20));
            icon->setFixedSize(22, 22);
            line->addWidget(icon);
            line->addWidget(new QLabel(QString::fromStdString(app.name)), 1);
            auto* remove = new QToolButton;
            remove->setIcon(QIcon::fromTheme(QStringLiteral("list-remove")));
            remove->setText(QStringLiteral("−"));
            remove->setAccessibleName(QStringLiteral("Remove ") + QString::fromStdString(app.name));
            remove->setToolTip(remove->accessibleName());
            connect(remove, &QToolButton::clicked, this,
                    [&m, ids = app.appIDs] { m.removeFromBlocklist(ids); });
            line->addWidget(remove);
            listed->addWidget(row);
        }
    });

    QVBoxLayout* panel = card(pane, QStringLiteral("Panel"));
    auto* showAngle = new QCheckBox(QStringLiteral("Show angle in the panel"));
    panel->addWidget(showAngle);
    connect(showAngle, &QCheckBox::toggled, this,
            [&m](bool on) { m.edit([on](FoldSettings& s) { s.showAngleInMenuBar = on; }); });
    refreshers.follow({P::settings}, [=, &m] {
        const QSignalBlocker quiet(showAngle);
        showAngle->setChecked(m.settings().showAngleInMenuBar);
    });

    QVBoxLayout* screen = card(pane, QStringLiteral("Built-in screen"));
    auto* screens = new QComboBox;
    screens->setAccessibleName(QStringLiteral("Built-in screen"));
    screen->addWidget(screens);
    screen->addWidget(note(
        QStringLiteral("The screen the fold covers. Automatic takes the laptop's own panel.")));
    connect(screens, &QComboBox::activated, this, [screens, &m](int index) {
        const std::string chosen = screens->itemData(index).toString().toStdString();
        m.edit([chosen](FoldSettings& s) { s.builtInScreen = chosen; });
    });
    screens_ = screens;
    readScreens();
    refreshers.follow({P::settings}, [this] { showScreens(); });

    pane->addWidget(note(QStringLiteral(
        "Orvane reads the lid angle. It records the built-in display only while the fold is on "
        "screen: while the lid moves, and while you hold the fold with Follow lid off. The frames "
        "stay in memory on this computer. Orvane does not save them, send them or collect "
        "analytics.")));
    pane->addWidget(note(QStringLiteral(
        "Orvane reads the lid angle straight from the sensor; some laptops report it and some do "
        "not. A system update can stop it. Manual preview keeps working.")));
    pane->addWidget(serviceButton(QStringLiteral("Show welcome again"), services.showOnboarding), 0,
                    Qt::AlignLeft);
    pane->addStretch(1);
}

void GeneralPane::readScreens() {
    names_ = services_.screens ? services_.screens() : std::vector<std::string>{};
    automatic_ = services_.automaticScreen ? services_.automaticScreen() : std::nullopt;
    showScreens();
}

void GeneralPane::showScreens() {
    const QSignalBlocker quiet(screens_);
    screens_->clear();
    screens_->addItem(
        automatic_ ? QStringLiteral("Automatic (%1)").arg(QString::fromStdString(*automatic_))
                   : QStringLiteral("Automatic (none found)"),
        QString());
    std::vector<std::string> names = names_;
    const std::string& chosen = model_.settings().builtInScreen;
    if (!chosen.empty() && std::find(names.begin(), names.end(), chosen) == names.end()) {
        names.push_back(chosen); // kept while it is not connected
    }
    for (const std::string& name : names) {
        screens_->addItem(QString::fromStdString(name), QString::fromStdString(name));
    }
    screens_->setCurrentIndex(std::max(0, screens_->findData(QString::fromStdString(chosen))));
}

} // namespace orvane
