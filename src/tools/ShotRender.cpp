// SPDX-License-Identifier: MIT
#include "tools/ShotRender.h"

#include "core/AppIdentity.h"
#include "core/ExitStatus.h"
#include "core/Tuning.h"
#include "cover/linux/CoverPainter.h"
#include "offscreen/linux/OffscreenSession.h"
#include "offscreen/linux/PngFile.h"
#include "settings/SettingsLayout.h"
#include "tools/ToolApplication.h"
#include "windows/Appearance.h"
#include "windows/FoldPreview.h"
#include "windows/OnboardingWindow.h"
#include "windows/SettingsWindow.h"
#include "windows/StyleThumbnails.h"
#include "windows/Wallpaper.h"
#include "windows/WelcomeAnimation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLayout>
#include <QPainter>

#include <iostream>

namespace orvane {

namespace {

constexpr auto shotsSuite = ".shots";

// Runs the events until the view's pictures of the fold have come from their
// render threads; false when they did not in time.
template <typename Ready>
bool waitFor(Ready&& ready) {
    QElapsedTimer timer;
    timer.start();
    const auto limit = static_cast<qint64>(Tuning::shotPictureTimeout * 1000);
    while (!ready()) {
        if (timer.elapsed() > limit) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
    return true;
}

FoldSettings demoSettings() {
    FoldSettings settings;
    settings.setHasCompletedOnboarding(true);
    return settings;
}

std::optional<SettingsWindow::Pane> paneOf(ShotKind kind) {
    switch (kind) {
    case ShotKind::settingsGeneral:
        return SettingsWindow::general;
    case ShotKind::settingsAppearance:
        return SettingsWindow::appearance;
    case ShotKind::settingsCover:
        return SettingsWindow::cover;
    case ShotKind::settingsAccordion:
        return SettingsWindow::accordion;
    case ShotKind::settingsAbout:
        return SettingsWindow::about;
    // The whole window shows the pane with the most to see.
    case ShotKind::settingsWindow:
        return SettingsWindow::appearance;
    default:
        return std::nullopt;
    }
}

bool thumbnailsReady() {
    return StyleThumbnails::shared().isLoaded();
}

} // namespace

ShotRender::DemoState::DemoState()
    : rig(std::string(AppIdentity::identifier) + shotsSuite, demoSettings()) {
    EffectController& effect = rig.controller();
    // The demo lid rests open: its sensor has given one reading.
    effect.sensorAvailabilityChanged(true);
    effect.lidSample(Tuning::shotLidAngle, 0);
}

ShotRender::ShotRender() {
    // Every machine draws the same shots, and none shows the user's picture.
    ignoreUserWallpaper();
}

ShotRender::~ShotRender() = default;

SettingsWindow& ShotRender::settingsWindow() {
    if (!settings_) {
        settings_ = std::make_unique<SettingsWindow>(SettingsWindow::Services{
            demo_.host, demo_.loginItems, demo_.apps, [] { return false; },
            [] {
                return std::vector<std::string>{"eDP-1", "HDMI-1"};
            },
            []() -> std::optional<std::string> { return "eDP-1"; }, [] {}, [] {}});
        settings_->setAttribute(Qt::WA_DontShowOnScreen);
        settings_->resize(SettingsLayout::contentWidth,
                          SettingsLayout::windowContentHeight(std::nullopt));
        settings_->lidSample(Tuning::shotLidAngle);
    }
    return *settings_;
}

OnboardingWindow& ShotRender::onboardingWindow() {
    if (!onboarding_) {
        onboarding_ = std::make_unique<OnboardingWindow>(demo_.host, [](const AudioBuffer&) {});
        onboarding_->setAttribute(Qt::WA_DontShowOnScreen);
        onboarding_->setReduceMotion([] { return false; });
        onboarding_->lidSample(Tuning::shotLidAngle);
    }
    return *onboarding_;
}

std::optional<QImage> ShotRender::render(ShotKind kind, bool dark) {
    Appearance::apply(dark);
    switch (kind) {
    case ShotKind::onboarding1:
        return renderOnboarding(1);
    case ShotKind::onboarding2:
        return renderOnboarding(2);
    case ShotKind::onboarding3:
        return renderOnboarding(3);
    case ShotKind::onboarding4:
        return renderOnboarding(4);
    case ShotKind::coverVeil:
        return renderCover(CoverMode::veil);
    case ShotKind::coverClock:
        return renderCover(CoverMode::clock);
    case ShotKind::glyphs:
        return CoverPainter::glyphStrip(1.0);
    default:
        return renderSettings(kind);
    }
}

std::optional<QImage> ShotRender::renderSettings(ShotKind kind) {
    const SettingsWindow::Pane pane = *paneOf(kind);
    SettingsWindow& window = settingsWindow();
    window.selectPane(pane);
    window.show();
    if (pane == SettingsWindow::appearance) {
        const FoldPreview& preview = window.preview();
        if (!waitFor(
                [&] { return (preview.frame() || preview.unavailable()) && thumbnailsReady(); })) {
            return std::nullopt;
        }
    } else {
        QCoreApplication::processEvents();
    }
    if (kind == ShotKind::settingsWindow) {
        return window.grab().toImage();
    }
    // The pane whole, as tall as its content wants at the window's width.
    QWidget* content = window.paneContent(pane);
    const QLayout* layout = content->layout();
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(content->width())
                                                   : layout->totalSizeHint().height();
    if (height > content->height()) {
        content->resize(content->width(), height);
    }
    return content->grab(QRect(0, 0, content->width(), height)).toImage();
}

std::optional<QImage> ShotRender::renderOnboarding(int step) {
    OnboardingWindow& window = onboardingWindow();
    window.model().reset();
    WelcomeAnimation::shared().loadIfNeeded();
    window.show();
    for (int i = OnboardingModel::firstStep; i < step; ++i) {
        window.model().next();
    }
    const bool ready = waitFor([&] {
        return WelcomeAnimation::shared().isLoaded() &&
               (step != OnboardingModel::lastStep || thumbnailsReady());
    });
    if (!ready) {
        return std::nullopt;
    }
    return window.grab().toImage();
}

std::optional<QImage> ShotRender::renderCover(CoverMode mode) {
    // Both covers and both appearances lie over the same folded desktop: drawn once.
    if (!coverDesktop_) {
        auto session = OffscreenSession::create();
        if (!session) {
            return std::nullopt;
        }
        RenderRequest request;
        request.angle = Tuning::shotCoverAngle;
        auto frame = session.value()->render(request);
        if (!frame) {
            return std::nullopt;
        }
        // A copy: the view's bytes go with the frame.
        coverDesktop_ =
            imageView(frame.value()).convertToFormat(QImage::Format_ARGB32_Premultiplied).copy();
    }
    QImage image = *coverDesktop_;
    const CoverDressing dressing{mode, Tuning::shotWallTime, Tuning::shotVeilLevel};
    QPainter painter(&image);
    CoverPainter().paint(painter, image.size(), dressing, 1.0);
    painter.end();
    return image;
}

int ShotRender::run(const std::vector<std::string>& arguments) {
    const ShotRequest request = ShotRequest::parse(arguments);
    if (!request.error.empty()) {
        std::cerr << request.error;
        return ExitStatus::usage;
    }
    ToolApplication application;
    ShotRender shots;
    for (const ShotFile& file : request.files) {
        const std::optional<QImage> image = shots.render(file.kind, file.dark);
        if (!image || image->isNull()) {
            std::cerr << "shot " << shotName(file.kind) << " failed to render\n";
            return ExitStatus::failure;
        }
        QDir().mkpath(QFileInfo(QString::fromStdString(file.path)).absolutePath());
        if (const auto error = savePNG(*image, file.path)) {
            std::cerr << AppIdentity::name << ": " << error->description() << "\n";
            return ExitStatus::failure;
        }
        std::cout << "wrote " << file.path << " (" << image->width() << "x" << image->height()
                  << ")\n";
    }
    return ExitStatus::success;
}

} // namespace orvane
