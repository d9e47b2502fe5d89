// SPDX-License-Identifier: MIT
#include "render/linux/OverlayPanel.h"

#include "platform/MonotonicClock.h"
#include "platform/QtX11.h"
#include "render/FrameRateRange.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QPainter>
#include <QScreen>

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// When the screen reports no refresh rate.
constexpr double fallbackRefreshHz = 60.0;
// The live rate's bounds; the controller asks for 30, 60 or 120.
constexpr std::int64_t maxFrameRate = 240;

// Qt places windows in logical pixels: the screen's own origin, its size divided by its
// scale. `device` is in the server's pixels.
QRect logicalRect(const QRect& device) {
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const double scale = screen->devicePixelRatio();
        const QRect native(logical.topLeft(), (QSizeF(logical.size()) * scale).toSize());
        if (native.contains(device.center())) {
            const QPointF offset = QPointF(device.topLeft() - native.topLeft()) / scale;
            return QRect(logical.topLeft() + offset.toPoint(),
                         (QSizeF(device.size()) / scale).toSize());
        }
    }
    return device;
}

} // namespace

OverlayPanel::OverlayPanel(QRect geometry, QSize pixels, OverlayPanelHooks hooks,
                           QOpenGLContext* share)
    : QOpenGLWindow(share, QOpenGLWindow::NoPartialUpdate), pixels_(pixels),
      hooks_(std::move(hooks)), guard_([this] { return xWindow(); }, qtX11Display()) {
    // Override-redirect, above the rest, clicks pass through, never focused, never listed.
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
             Qt::BypassWindowManagerHint | Qt::WindowTransparentForInput |
             Qt::WindowDoesNotAcceptFocus);
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setAlphaBufferSize(0); // opaque: the fold paints the whole desktop
    format.setSwapInterval(1);
    setFormat(format);
    setGeometry(logicalRect(geometry));
    create();
    // Exactly the screen's device pixels, whatever a fractional scale rounded to.
    moveResizeNative(qtX11Display(), xWindow(), geometry);
    setBypassCompositor(qtX11Display(), xWindow());
    pacer_.setTimerType(Qt::PreciseTimer);
    pacer_.setSingleShot(true);
    QObject::connect(&pacer_, &QTimer::timeout, this, [this] { onPacer(); });
    QObject::connect(this, &QOpenGLWindow::frameSwapped, this, [this] { onSwapped(); });
    // OpenGL is set up and the programs compiled now, while hidden, not when the lid moves.
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(this, &request);
}

OverlayPanel::~OverlayPanel() {
    if (context() != nullptr) {
        makeCurrent();
        renderer_.reset();
        canvas_ = gl::RenderTexture();
        sourceRead_ = gl::Framebuffer();
        if (hooks_.releaseGl) {
            hooks_.releaseGl();
        }
        doneCurrent();
    }
}

void OverlayPanel::showLive(std::int64_t fps) {
    setFrameRate(fps);
    enter(Mode::live);
}

void OverlayPanel::showFrozen() {
    // The controller says so at every step while the cover holds: only the first draws.
    if (mode_ == Mode::frozen && isVisible()) {
        return;
    }
    enter(Mode::frozen);
}

void OverlayPanel::hide() {
    enter(Mode::hidden);
}

void OverlayPanel::setFrameRate(std::int64_t fps) {
    // Takes effect from the next swap on; the rate wanted is the range's preferred one.
    fps_ = frameRateRange(std::min(fps, maxFrameRate)).preferred;
}

void OverlayPanel::setCoverDressing(std::optional<CoverDressing> dressing) {
    dressing_ = dressing;
    if (mode_ != Mode::hidden) {
        update();
    }
}

void OverlayPanel::enter(Mode mode) {
    pacer_.stop();
    mode_ = mode;
    if (mode == Mode::hidden) {
        guard_.setActive(false);
        QWindow::hide();
        lastSwap_ = 0;
        return;
    }
    if (isVisible()) {
        drawNow(); // frozen draws once more on entry
    } else {
        showAfterFirstFrame();
    }
}

void OverlayPanel::showAfterFirstFrame() {
    // The slow first frame (shader compiles, first upload) is drawn while unmapped and the
    // desktop still shows; the server leaves the screen as it was until our first swap on
    // the mapped window (Qt sets no background on it). Without a picture of the desktop
    // yet, it stays unmapped and tries again a frame later.
    drawNow();
    if (mode_ == Mode::hidden) {
        return;
    }
    if (!hadSource_) {
        pacer_.start(static_cast<int>(std::lround(refreshInterval() * 1000.0)));
        return;
    }
    QWindow::show();
    guard_.setActive(true);
}

void OverlayPanel::drawNow() {
    fired_ = monotonicSeconds();
    update();
    if (!isExposed()) {
        // Unmapped: update() asks for no paint, so paint here, before the window is mapped.
        // When shown, update() paints after xcb's 5 ms request timer, which the pacer's
        // wake-to-swap time accounts for.
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(this, &request);
    }
}

double OverlayPanel::refreshInterval() const {
    const double hz = screen() != nullptr ? screen()->refreshRate() : 0.0;
    return 1.0 / (hz >= 1.0 ? hz : fallbackRefreshHz);
}

int OverlayPanel::stride() const {
    const double refresh = 1.0 / refreshInterval();
    const auto perFrame = std::lround(refresh / static_cast<double>(fps_));
    return static_cast<int>(std::max<long>(1, perFrame));
}

double OverlayPanel::targetTime(double now) const {
    const double target = lastSwap_ + stride() * refreshInterval();
    return target > now ? target : now + refreshInterval();
}

void OverlayPanel::onSwapped() {
    const double now = monotonicSeconds();
    if (fired_ > 0) {
        latency_ = now - fired_; // from the pacer's wake-up to the swap
        fired_ = 0;
    }
    lastSwap_ = now;
    if (mode_ == Mode::live) {
        schedule();
    }
}

void OverlayPanel::schedule() {
    const double interval = refreshInterval();
    const int frames = stride();
    if (!paceByTimer_ && frames == 1) {
        update(); // the swap waits for the vertical blank
        return;
    }
    const double target = lastSwap_ + frames * interval;
    // With vblank the swap lands on the target by itself; without, wake early by the last
    // frame's wake-to-swap time so the swap lands on it.
    const double wake = paceByTimer_ ? target - latency_ : target - interval;
    const double delay = std::max(0.0, wake - monotonicSeconds());
    pacer_.start(static_cast<int>(std::lround(delay * 1000.0)));
}

void OverlayPanel::onPacer() {
    if (mode_ != Mode::hidden && !isVisible()) {
        showAfterFirstFrame();
        return;
    }
    if (mode_ != Mode::live) {
        return;
    }
    drawNow();
}

void OverlayPanel::initializeGL() {
    const auto version = context()->format().version();
    if (version < qMakePair(3, 3)) {
        rendererMissing_ = true;
    } else if (auto renderer = FoldRenderer::create()) {
        renderer_.emplace(renderer.take());
        renderer_->prepareVariants();
        canvas_ = gl::makeRenderTexture(pixels_.width(), pixels_.height());
    } else {
        rendererMissing_ = true;
    }
    paceByTimer_ = !hasVblankSync(qtX11Display());
}

void OverlayPanel::underlay(const SourceTexture& source) {
    if (!sourceRead_) {
        GLuint name = 0;
        glGenFramebuffers(1, &name);
        sourceRead_ = gl::Framebuffer(name);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, sourceRead_.get());
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, source.texture,
                           0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, canvas_.framebuffer.get());
    // Both hold the top row first.
    glBlitFramebuffer(0, 0, source.width, source.height, 0, 0, pixels_.width(), pixels_.height(),
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void OverlayPanel::paintGL() {
    const GLuint framebuffer = defaultFramebufferObject();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, pixels_.width(), pixels_.height());
    if (mode_ == Mode::hidden) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    const double target = targetTime(monotonicSeconds());
    const std::optional<FoldFrameParams> params =
        hooks_.frame ? hooks_.frame(target) : std::nullopt;
    if (!params) {
        // The overlay is over: no more frames, and unmapped outside the paint.
        mode_ = Mode::hidden;
        pacer_.stop();
        QTimer::singleShot(0, this, [this] {
            if (mode_ == Mode::hidden) {
                hide();
            }
        });
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    lastFrame_ = params;
    const auto source = hooks_.source ? hooks_.source() : std::nullopt;
    hadSource_ = source.has_value();
    if (renderer_ && canvas_.framebuffer && source) {
        // The window is opaque and nothing composites it over the desktop: the desktop goes
        // under the fold here, so a fading fold shows the desktop through it, not black.
        underlay(*source);
        renderer_->encode(
            *source,
            RenderTarget{canvas_.framebuffer.get(), pixels_.width(), pixels_.height(), true},
            *params);
        // The fold puts the top row at y = 0, the window has it at the bottom: flip on the copy.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, canvas_.framebuffer.get());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        glBlitFramebuffer(0, 0, pixels_.width(), pixels_.height(), 0, pixels_.height(),
                          pixels_.width(), 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    } else {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (dressing_ && hooks_.paintCover) {
        QPainter painter(this);
        // The cover is laid out in device pixels, as the fold is.
        painter.scale(1 / devicePixelRatio(), 1 / devicePixelRatio());
        hooks_.paintCover(painter, pixels_, *dressing_);
        painter.end();
        // QPainter leaves its state behind; the fold expects the defaults.
        glDisable(GL_BLEND);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_DEPTH_TEST);
        glUseProgram(0);
        glBindVertexArray(0);
    }
    ++draws_;
}

} // namespace orvane
