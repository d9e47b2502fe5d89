// SPDX-License-Identifier: MIT
#include "windows/SettingsWindow.h"

#include "core/AppIdentity.h"
#include "core/Tuning.h"
#include "cover/CoverMode.h"
#include "settings/SettingsLayout.h"
#include "windows/FoldPreview.h"
#include "windows/StyleCards.h"
#include "windows/Wallpaper.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace orvane {

namespace {

QString whole(double value) {
    return QString::number(static_cast<long long>(std::round(value)));
}

// palette() in a style sheet is read when the sheet is set: it is set again
// when the light or dark palette changes.
const QString sidebarStyle =
    QStringLiteral("QListWidget { padding: 16px 10px; background: palette(window); outline: 0; }"
                   "QListWidget::item { padding: 7px 10px; border-radius: 8px; }"
                   "QListWidget::item:selected { background: palette(highlight); "
                   "color: palette(highlighted-text); }");

QLabel* note(const QString& words) {
    auto* label = new QLabel(words);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// A titled card of rows.
QVBoxLayout* card(QVBoxLayout* pane, const QString& title) {
    auto* box = new QGroupBox(title);
    auto* rows = new QVBoxLayout(box);
    rows->setSpacing(10);
    pane->addWidget(box);
    return rows;
}

// A slider with its title and read-out on one row.
struct SliderRow {
    QWidget* row;
    QSlider* slider;
    QLabel* readOut;
};

// `accessible` tells apart rows of one title, such as the two volumes.
SliderRow sliderRow(const QString& title, int minimum, int maximum, QString accessible = {}) {
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(minimum, maximum);
    slider->setAccessibleName(accessible.isEmpty() ? title : accessible);
    auto* readOut = new QLabel;
    readOut->setMinimumWidth(
        readOut->fontMetrics().horizontalAdvance(QStringLiteral("000 degrees")));
    readOut->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    line->addWidget(new QLabel(title));
    line->addWidget(slider, 1);
    line->addWidget(readOut);
    return {row, slider, readOut};
}

constexpr int percent = 100;

// A button that asks the application for `action`, when it offers one.
QPushButton* serviceButton(const QString& label, const std::function<void()>& action) {
    auto* button = new QPushButton(label);
    QObject::connect(button, &QPushButton::clicked, button, [action] {
        if (action) {
            action();
        }
    });
    return button;
}

// A pane's rows, top to bottom, inside the detail area's padding.
QVBoxLayout* paneLayout(QWidget* page, int spacing) {
    auto* pane = new QVBoxLayout(page);
    pane->setContentsMargins(SettingsLayout::detailPadding, SettingsLayout::titlebarInset,
                             SettingsLayout::detailPadding, SettingsLayout::detailPadding);
    pane->setSpacing(spacing);
    return pane;
}

// A laptop whose screen shows the preview picture.
class LaptopPreview final : public QWidget {
public:
    explicit LaptopPreview(FoldPreview& preview) : preview_(preview) {
        setMinimumHeight(260);
        connect(&preview_, &FoldPreview::changed, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double aspect = 624.0 / 960.0;
        const double screenWidth = std::min(width() * 0.7, (height() - 30) / aspect);
        const QRectF screen((width() - screenWidth) / 2, 10, screenWidth, screenWidth * aspect);
        const QColor body = palette().color(QPalette::Mid);
        QPainterPath lid;
        lid.addRoundedRect(screen.adjusted(-10, -10, 10, 8), 12, 12);
        painter.fillPath(lid, body);
        QPainterPath base;
        const QRectF deck(screen.left() - 40, screen.bottom() + 8, screen.width() + 80, 12);
        base.addRoundedRect(deck, 6, 6);
        painter.fillPath(base, body.darker(115));
        painter.fillRect(screen, Qt::black);
        const auto& frame = preview_.frame();
        if (preview_.unavailable()) {
            painter.setPen(Qt::white);
            painter.drawText(screen.adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                             QStringLiteral("Preview unavailable\nThis computer cannot draw the "
                                            "preview."));
        } else if (frame) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(screen, frame->image);
        }
    }

private:
    FoldPreview& preview_;
};

} // namespace

SettingsWindow::SettingsWindow(Services services)
    : services_(std::move(services)), preview_(std::make_unique<FoldPreview>(loadWallpaper())) {
    setWindowTitle(QStringLiteral("Orvane Settings"));
    setMinimumSize(SettingsLayout::contentWidth, SettingsLayout::minContentHeight);
    model_ = std::make_unique<SettingsModel>(
        services_.host,
        SettingsModel::Platform{services_.loginItems, services_.apps, [] { return true; },
                                services_.reduceMotion,
                                [this](const FoldPreviewRequest& r) { preview_->request(r); }});
    model_->onChange = [this](SettingsModel::Property) { refresh(); };

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    sidebar_ = new QListWidget;
    sidebar_->setFixedWidth(SettingsLayout::sidebarWidth);
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setSpacing(2);
    sidebar_->setStyleSheet(sidebarStyle);
    panes_ = new QStackedWidget;
    const std::pair<const char*, const char*> names[] = {{"General", "preferences-system"},
                                                         {"Appearance", "preferences-desktop"},
                                                         {"Cover", "weather-overcast"},
                                                         {"Accordion", "audio-x-generic"},
                                                         {"About", "help-about"}};
    pages_ = {generalPane(), appearancePane(), coverPane(), accordionPane(), aboutPane()};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        sidebar_->addItem(new QListWidgetItem(QIcon::fromTheme(names[i].second),
                                              QString::fromLatin1(names[i].first)));
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(pages_.at(i));
        panes_->addWidget(scroll);
    }
    connect(sidebar_, &QListWidget::currentRowChanged, panes_, &QStackedWidget::setCurrentIndex);
    sidebar_->setCurrentRow(general);
    layout->addWidget(sidebar_);
    layout->addWidget(panes_, 1);
    refresh();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::follow(std::function<void()> update) {
    update();
    refreshers_.push_back(std::move(update));
}

void SettingsWindow::refresh() {
    for (const auto& update : refreshers_) {
        update();
    }
    applyLevel();
}

void SettingsWindow::selectPane(Pane pane) {
    sidebar_->setCurrentRow(pane);
}

void SettingsWindow::availabilityChanged(const Availability& availability) {
    model_->availabilityChanged(availability);
}

void SettingsWindow::settingsChanged(const FoldSettings& settings) {
    model_->settingsChanged(settings);
}

void SettingsWindow::lidSample(std::optional<double> angle) {
    model_->lidSample(angle);
}

void SettingsWindow::showSettings() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const std::optional<double> visible =
        screen != nullptr ? std::optional<double>(screen->availableGeometry().height())
                          : std::nullopt;
    if (!isVisible()) {
        resize(SettingsLayout::contentWidth, SettingsLayout::windowContentHeight(visible));
        if (screen != nullptr) {
            // Centred, and inside the screen's free area.
            QRect frame(QPoint(), size());
            frame.moveCenter(screen->availableGeometry().center());
            frame.moveTop(std::max(frame.top(), screen->availableGeometry().top()));
            frame.moveLeft(std::max(frame.left(), screen->availableGeometry().left()));
            move(frame.topLeft());
        }
    }
    model_->refreshSystemState();
    applyLevel();
    show();
    raise();
    activateWindow();
}

void SettingsWindow::applyLevel() {
    const bool above =
        SettingsLayout::windowLevel(model_->settings()) == SettingsLayout::Level::aboveOverlay &&
        isVisible();
    if (above == aboveOverlay_) {
        return;
    }
    aboveOverlay_ = above;
    // The overlay is raised by hand above every window but this one while it is exempt;
    // a window manager keeps it above the others.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, above);
    if (shown) {
        show();
        raise();
    }
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides; the fold follows the lid again.
    model_->endPreview();
    aboveOverlay_ = false;
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    event->accept();
}

void SettingsWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        model_->refreshSystemState();
    }
    const bool repainted =
        event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange;
    if (repainted && sidebar_ != nullptr) {
        sidebar_->setStyleSheet(QString());
        sidebar_->setStyleSheet(sidebarStyle);
    }
    QWidget::changeEvent(event);
}

void SettingsWindow::sessionCard(QVBoxLayout* pane) {
    auto* box = new QGroupBox(QStringLiteral("Not on this session yet"));
    box->setObjectName(QStringLiteral("sessionCard"));
    auto* rows = new QVBoxLayout(box);
    auto* words = new QLabel(QStringLiteral(
        "This session cannot show the fold yet. Orvane draws it in X11 sessions today: log out, "
        "choose an X11 session at the login screen (such as \"GNOME on Xorg\" or \"Plasma "
        "(X11)\") and log in again. The lid sensor, the accordion and these settings work here."));
    words->setWordWrap(true);
    rows->addWidget(words);
    pane->addWidget(box);
    follow([box, &m = *model_] {
        box->setVisible(m.availability().kind() == Availability::Kind::unsupportedSession);
    });
}

QWidget* SettingsWindow::generalPane() {
    auto* page = new QWidget;
    QVBoxLayout* pane = paneLayout(page, 16);
    SettingsModel& m = *model_;
    sessionCard(pane);

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
    follow([=, &m] {
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
    connect(click, &QCheckBox::toggled, this,
            [&m](bool on) { m.edit([on](FoldSettings& s) { s.setSoundOnClear(on); }); });
    connect(volume.slider, &QSlider::valueChanged, this, [&m](int value) {
        m.edit([value](FoldSettings& s) { s.setClearVolume(value / double(percent)); });
    });
    connect(haptic, &QCheckBox::toggled, this,
            [&m](bool on) { m.edit([on](FoldSettings& s) { s.setHapticOnClear(on); }); });
    follow([=, &m] {
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
    follow([=, this, &m] {
        const QSignalBlocker quiet(lowPower);
        lowPower->setChecked(m.settings().pauseInLowPower);
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
                    [&m, id = app.appID] { m.removeFromBlocklist(id); });
            line->addWidget(remove);
            listed->addWidget(row);
        }
    });

    QVBoxLayout* menuBar = card(pane, QStringLiteral("Menu bar"));
    auto* showAngle = new QCheckBox(QStringLiteral("Show angle in menu bar"));
    menuBar->addWidget(showAngle);
    connect(showAngle, &QCheckBox::toggled, this,
            [&m](bool on) { m.edit([on](FoldSettings& s) { s.showAngleInMenuBar = on; }); });
    follow([=, &m] {
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
    follow([=, this, &m] {
        const QSignalBlocker quiet(screens);
        screens->clear();
        const auto found = services_.automaticScreen ? services_.automaticScreen() : std::nullopt;
        screens->addItem(found
                             ? QStringLiteral("Automatic (%1)").arg(QString::fromStdString(*found))
                             : QStringLiteral("Automatic (none found)"),
                         QString());
        std::vector<std::string> names =
            services_.screens ? services_.screens() : std::vector<std::string>{};
        const std::string& chosen = m.settings().builtInScreen;
        if (!chosen.empty() && std::find(names.begin(), names.end(), chosen) == names.end()) {
            names.push_back(chosen); // kept while it is not connected
        }
        for (const std::string& name : names) {
            screens->addItem(QString::fromStdString(name), QString::fromStdString(name));
        }
        screens->setCurrentIndex(std::max(0, screens->findData(QString::fromStdString(chosen))));
    });

    pane->addWidget(note(QStringLiteral(
        "Orvane reads the lid angle. It records the built-in display only while the fold is on "
        "screen: while the lid moves, and while you hold the fold with Follow lid off. The frames "
        "stay in memory on this computer. Orvane does not save them, send them or collect "
        "analytics.")));
    pane->addWidget(note(QStringLiteral("The lid angle sensor is not a public Apple API. A system "
                                        "update can stop it. Manual preview keeps working.")));
    pane->addWidget(serviceButton(QStringLiteral("Show welcome again"), services_.showOnboarding),
                    0, Qt::AlignLeft);
    pane->addStretch(1);
    return page;
}

QWidget* SettingsWindow::appearancePane() {
    auto* page = new QWidget;
    QVBoxLayout* pane = paneLayout(page, 16);
    SettingsModel& m = *model_;
    sessionCard(pane);

    auto* reduced = note(QStringLiteral("Reduce Motion is on. Orvane fades a frost instead of "
                                        "folding."));
    pane->addWidget(reduced);
    auto* laptop = new LaptopPreview(*preview_);
    pane->addWidget(laptop);

    QVBoxLayout* angle = card(pane, QStringLiteral("Angle"));
    const SliderRow slider = sliderRow(QStringLiteral("Angle"), int(Tuning::manualAngleMin),
                                       int(Tuning::manualAngleMax));
    angle->addWidget(slider.row);
    auto* followLid = new QCheckBox(QStringLiteral("Follow lid"));
    angle->addWidget(followLid);
    auto* line = note({});
    angle->addWidget(line);
    connect(slider.slider, &QSlider::valueChanged, this,
            [&m](int value) { m.setManualAngle(value); });
    connect(followLid, &QCheckBox::toggled, this, [&m](bool on) { m.setFollowLid(on); });
    follow([=, this, &m] {
        const QSignalBlocker q1(slider.slider), q2(followLid);
        const bool follows = m.followsLid();
        // Following, the slider shows the lid; holding, the angle the fold is held at.
        const double shown = follows ? m.lidAngle().value_or(m.manualAngle()) : m.manualAngle();
        slider.slider->setValue(static_cast<int>(std::lround(shown)));
        slider.slider->setEnabled(!follows);
        slider.readOut->setText(whole(shown) + QStringLiteral(" degrees"));
        followLid->setChecked(follows);
        const auto facts = services_.host.sensorFacts();
        line->setText(QString::fromStdString(SettingsLayout::angleLine(follows, facts)));
        reduced->setVisible(services_.reduceMotion && services_.reduceMotion());
        laptop->setAccessibleName(
            QStringLiteral("Preview of ") + QString::fromUtf8(displayName(m.settings().style)) +
            QStringLiteral(" at ") + whole(m.manualAngle()) + QStringLiteral(" degrees"));
    });

    QVBoxLayout* style = card(pane, QStringLiteral("Style"));
    auto* cards = new StyleCards;
    style->addWidget(cards);
    cards->onSelect = [&m](FoldStyle chosen) {
        m.edit([chosen](FoldSettings& s) { s.setStyle(chosen); });
    };
    follow([=, &m] { cards->setSelected(m.settings().style); });

    QVBoxLayout* look = card(pane, QString());
    const std::pair<const char*, void (FoldSettings::*)(double)> looks[] = {
        {"Perspective", &FoldSettings::setPerspective},
        {"Blur", &FoldSettings::setBlur},
        {"Shadow", &FoldSettings::setShadow}};
    const double FoldSettings::*fields[] = {&FoldSettings::perspective, &FoldSettings::blur,
                                            &FoldSettings::shadow};
    for (std::size_t i = 0; i < std::size(looks); ++i) {
        const SliderRow row = sliderRow(QString::fromLatin1(looks[i].first), 0, percent);
        look->addWidget(row.row);
        const auto setter = looks[i].second;
        const auto field = fields[i];
        connect(row.slider, &QSlider::valueChanged, this, [&m, setter](int value) {
            m.edit([&](FoldSettings& s) { (s.*setter)(value / double(percent)); });
        });
        follow([=, &m] {
            const QSignalBlocker quiet(row.slider);
            const double value = m.settings().*field;
            row.slider->setValue(static_cast<int>(std::lround(value * percent)));
            row.readOut->setText(whole(value * percent) + QStringLiteral(" %"));
        });
    }

    QVBoxLayout* clear = card(pane, QStringLiteral("Clear angle"));
    const SliderRow clearRow = sliderRow(QStringLiteral("Clear angle"), int(Tuning::minClearAngle),
                                         int(Tuning::maxClearAngle));
    clear->addWidget(clearRow.row);
    clear->addWidget(note(QStringLiteral("Above this angle the screen is clear.")));
    auto* fromLid = new QPushButton(QStringLiteral("Set from my lid"));
    auto* calibration = note({});
    auto* calibrationRow = new QHBoxLayout;
    calibrationRow->addWidget(fromLid);
    calibrationRow->addWidget(calibration, 1);
    clear->addLayout(calibrationRow);
    connect(clearRow.slider, &QSlider::valueChanged, this,
            [&m](int value) { m.edit([value](FoldSettings& s) { s.setClearAngle(value); }); });
    connect(fromLid, &QPushButton::clicked, this, [&m] { m.setClearAngleFromLid(); });
    follow([=, &m] {
        const QSignalBlocker quiet(clearRow.slider);
        clearRow.slider->setValue(static_cast<int>(std::lround(m.settings().clearAngle)));
        clearRow.readOut->setText(whole(m.settings().clearAngle) + QStringLiteral(" degrees"));
        fromLid->setEnabled(m.lidCalibrationEnabled());
        calibration->setText(QString::fromStdString(m.lidCalibrationLabel()));
    });
    pane->addStretch(1);
    return page;
}

QWidget* SettingsWindow::coverPane() {
    auto* page = new QWidget;
    QVBoxLayout* pane = paneLayout(page, 16);
    SettingsModel& m = *model_;
    auto* sentence = new QLabel;
    sentence->setWordWrap(true);
    pane->addWidget(sentence);
    QVBoxLayout* modes = card(pane, QStringLiteral("Cover"));
    std::vector<std::pair<CoverMode, QRadioButton*>> buttons;
    for (const CoverMode mode : {CoverMode::off, CoverMode::veil, CoverMode::clock}) {
        auto* button = new QRadioButton(QString::fromUtf8(displayName(mode)));
        modes->addWidget(button);
        auto* line = note(QString::fromUtf8(settingsLine(mode)));
        line->setContentsMargins(24, 0, 0, 6);
        modes->addWidget(line);
        connect(button, &QRadioButton::clicked, this,
                [&m, mode] { m.edit([mode](FoldSettings& s) { s.setCoverMode(mode); }); });
        buttons.emplace_back(mode, button);
    }
    follow([=, &m] {
        sentence->setText(
            QString::fromStdString(SettingsLayout::coverSentence(m.settings().clearAngle)));
        for (const auto& [mode, button] : buttons) {
            const QSignalBlocker quiet(button);
            button->setChecked(mode == m.settings().coverMode);
        }
    });
    pane->addStretch(1);
    return page;
}

QWidget* SettingsWindow::accordionPane() {
    auto* page = new QWidget;
    QVBoxLayout* pane = paneLayout(page, 16);
    SettingsModel& m = *model_;
    QVBoxLayout* rows = card(pane, QStringLiteral("Accordion"));
    auto* on = new QCheckBox(QStringLiteral("Accordion"));
    rows->addWidget(on);
    rows->addWidget(note(QStringLiteral("Plays a chord while the lid moves.")));
    const SliderRow volume =
        sliderRow(QStringLiteral("Volume"), 0, percent, QStringLiteral("Accordion volume"));
    rows->addWidget(volume.row);
    connect(on, &QCheckBox::toggled, this,
            [&m](bool value) { m.edit([value](FoldSettings& s) { s.accordion = value; }); });
    connect(volume.slider, &QSlider::valueChanged, this, [&m](int value) {
        m.edit([value](FoldSettings& s) { s.setAccordionVolume(value / double(percent)); });
    });
    follow([=, &m] {
        const QSignalBlocker q1(on), q2(volume.slider);
        on->setChecked(m.settings().accordion);
        volume.slider->setValue(
            static_cast<int>(std::lround(m.settings().accordionVolume * percent)));
        volume.readOut->setText(whole(m.settings().accordionVolume * percent) +
                                QStringLiteral(" %"));
    });
    pane->addWidget(note(QStringLiteral(
        "The lid angle picks the chord. Closing pushes and opening pulls, with different chords. "
        "Speed sets how loud and bright it sounds.")));
    pane->addWidget(note(QStringLiteral("Accordion needs only the lid sensor. It works without ") +
                         QString::fromUtf8(PermissionName::screenRecording()) +
                         QStringLiteral(".")));
    pane->addStretch(1);
    return page;
}

QWidget* SettingsWindow::aboutPane() {
    auto* page = new QWidget;
    QVBoxLayout* pane = paneLayout(page, 8);
    auto* name = new QLabel(QString::fromUtf8(AppIdentity::name));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setWeight(QFont::DemiBold);
    name->setFont(big);
    pane->addWidget(name);
    pane->addWidget(
        new QLabel(QStringLiteral("Version ") + QString::fromUtf8(AppIdentity::version)));
    for (const std::string_view line : AppIdentity::credits) {
        pane->addWidget(note(QString::fromUtf8(line)));
    }
    pane->addSpacing(SettingsLayout::detailPadding);
    pane->addWidget(serviceButton(QStringLiteral("Quit Orvane"), services_.quit), 0, Qt::AlignLeft);
    pane->addStretch(1);
    return page;
}

} // namespace orvane
