// SPDX-License-Identifier: MIT
#include "display/linux/X11FoldDisplay.h"

#include "render/linux/PanelSource.h"

#include <QRect>

namespace orvane {

namespace {

QSurfaceFormat coreProfile() {
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    return format;
}

} // namespace

X11FoldDisplay::X11FoldDisplay(Ports ports)
    : ports_(std::move(ports)), factory_({ports_.scheduler, ports_.log, context_, surface_,
                                          ports_.chosenScreen, ports_.ownWindows}),
      capture_({factory_, ports_.scheduler, ports_.uptime, ports_.log}) {}

std::unique_ptr<X11FoldDisplay> X11FoldDisplay::create(Ports ports) {
    std::unique_ptr<X11FoldDisplay> display(new X11FoldDisplay(std::move(ports)));
    // The capture composes the desktop in its own context; the panel shares its textures.
    display->surface_.setFormat(coreProfile());
    display->surface_.create();
    display->context_.setFormat(coreProfile());
    if (!display->context_.create() || display->context_.format().version() < qMakePair(3, 3)) {
        display->ports_.log.note("display",
                                 "No OpenGL 3.3 context could be made: the fold is unavailable.");
        return nullptr;
    }
    display->capture_.onStreamFailure = [raw = display.get()] {
        if (raw->client_ != nullptr) {
            raw->client_->desktopFailed();
        }
    };
    return display;
}

// The panel goes first: it frees its textures in the context it shares with the capture.
X11FoldDisplay::~X11FoldDisplay() {
    panel_.reset();
}

void X11FoldDisplay::prepare() {
    const std::optional<BuiltInDisplay::Screen> found = factory_.builtInScreen();
    const bool usable = found && found->width > 0 && found->height > 0;
    if (!usable) {
        panel_.reset();
    } else if (!panel_ || !screen_ || found->x != screen_->x || found->y != screen_->y ||
               found->width != screen_->width || found->height != screen_->height) {
        makePanel(*found);
    }
    screen_ = usable ? found : std::nullopt;
    capture_.invalidatePrepared();
    capture_.prepare();
}

void X11FoldDisplay::makePanel(const BuiltInDisplay::Screen& screen) {
    panel_.reset();
    const QRect rect(screen.x, screen.y, screen.width, screen.height);
    // Nothing but the user's own desktop is folded: the panel waits for the first frame.
    auto source = std::make_shared<PanelSource>(
        [capture = &capture_] { return capture->latestFrame(); }, SampleImage{});
    OverlayPanelHooks hooks;
    hooks.frame = [this](double time) {
        return client_ != nullptr ? client_->frameAt(time) : std::nullopt;
    };
    hooks.source = [source] { return (*source)(); };
    hooks.releaseGl = [source] { source->releaseGl(); };
    hooks.paintCover = ports_.paintCover;
    panel_ = std::make_unique<OverlayPanel>(rect, rect.size(), std::move(hooks), &context_);
    panel_->allowAbove(ports_.allowedAbove);
}

std::optional<DisplayProblem> X11FoldDisplay::problem() const {
    return panel_ ? std::nullopt : std::optional(DisplayProblem::noScreen);
}

std::optional<std::int64_t> X11FoldDisplay::maxFPS() const {
    return screen_ ? BuiltInDisplay::maxFPS(*screen_) : std::nullopt;
}

void X11FoldDisplay::showLive(std::int64_t fps) {
    if (panel_) {
        panel_->showLive(fps);
    }
}

void X11FoldDisplay::showFrozen() {
    if (panel_) {
        panel_->showFrozen();
    }
}

void X11FoldDisplay::hide() {
    if (panel_) {
        panel_->hide();
    }
}

bool X11FoldDisplay::isLive() const {
    return panel_ && panel_->isLive();
}

void X11FoldDisplay::setFrameRate(std::int64_t fps) {
    if (panel_) {
        panel_->setFrameRate(fps);
    }
}

int X11FoldDisplay::width() const {
    return panel_ ? panel_->width() : 0;
}

int X11FoldDisplay::height() const {
    return panel_ ? panel_->height() : 0;
}

void X11FoldDisplay::setCoverDressing(std::optional<CoverDressing> dressing) {
    if (panel_) {
        panel_->setCoverDressing(dressing);
    }
}

} // namespace orvane
