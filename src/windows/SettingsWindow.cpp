// SPDX-License-Identifier: MIT
#include "windows/SettingsWindow.h"

#include "settings/SettingsLayout.h"
#include "windows/AboutPane.h"
#include "windows/AccordionPane.h"
#include "windows/AppearancePane.h"
#include "windows/CoverPane.h"
#include "windows/FoldPreview.h"
#include "windows/GeneralPane.h"
#include "windows/Wallpaper.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>

#include <algorithm>

namespace orvane {

namespace {

// palette() in a style sheet is read when the sheet is set: it is set again
// when the light or dark palette changes.
const QString sidebarStyle =
    QStringLiteral("QListWidget { padding: 16px 10px; background: palette(window); outline: 0; }"
                   "QListWidget::item { padding: 7px 10px; border-radius: 8px; }"
                   "QListWidget::item:selected { background: palette(highlight); "
                   "color: palette(highlighted-text); }");

} // namespace

SettingsWindow::SettingsWindow(Services services)
    : services_(std::move(services)), preview_(std::make_unique<FoldPreview>(loadWallpaper)) {
    setWindowTitle(QStringLiteral("Orvane Settings"));
    setMinimumSize(SettingsLayout::contentWidth, SettingsLayout::minContentHeight);
    model_ = std::make_unique<SettingsModel>(
        services_.host,
        SettingsModel::Platform{services_.loginItems, services_.apps, [] { return true; },
                                services_.reduceMotion,
                                [this](const FoldPreviewRequest& r) { preview_->request(r); }});
    // Only what reads the property changes; a hidden window catches up when shown.
    model_->onChange = [this](SettingsModel::Property property) {
        if (!isVisible()) {
            return;
        }
        refreshers_.changed(property);
        if (property == SettingsModel::Property::settings) {
            applyLevel();
        }
    };

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
    general_ = new GeneralPane(*model_, services_, refreshers_);
    pages_ = {general_, new AppearancePane(*model_, services_, refreshers_, *preview_),
              new CoverPane(*model_, refreshers_), new AccordionPane(*model_, refreshers_),
              new AboutPane(services_)};
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
    for (auto signal : {&QGuiApplication::screenAdded, &QGuiApplication::screenRemoved}) {
        connect(qGuiApp, signal, this, [this] { general_->readScreens(); });
    }
    applyLevel();
}

SettingsWindow::~SettingsWindow() = default;

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

void SettingsWindow::showEvent(QShowEvent* event) {
    general_->readScreens();
    // What changed while hidden, and Reduce Motion, which sends no change of its own.
    refreshers_.all();
    QWidget::showEvent(event);
    // Only now visible: a held preview puts the window above the overlay.
    applyLevel();
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

} // namespace orvane
