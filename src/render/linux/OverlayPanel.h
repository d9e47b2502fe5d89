// SPDX-License-Identifier: MIT
// The overlay window on the built-in screen: an opaque, input-transparent,
// override-redirect QOpenGLWindow that draws the fold of the captured desktop
// and the cover's dressing over it, paced by the display's refresh.
#pragma once

#include "cover/CoverHost.h"
#include "render/FoldUniforms.h"
#include "render/linux/FoldRenderer.h"
#include "render/linux/GlObjects.h"
#include "render/linux/StackGuard.h"

#include <QOpenGLWindow>
#include <QTimer>

#include <functional>
#include <optional>

class QPainter;

namespace orvane {

struct OverlayPanelHooks {
    // The frame to draw for `targetTime`; none means the overlay is over, and it hides.
    std::function<std::optional<FoldFrameParams>(double targetTime)> frame;
    // The picture to fold, in this panel's context.
    std::function<std::optional<SourceTexture>()> source;
    std::function<void(QPainter&, QSize, const CoverDressing&)> paintCover;
    // Called with the panel's context current before it goes, to free textures made in it.
    std::function<void()> releaseGl;
};

class OverlayPanel final : public QOpenGLWindow, public CoverHost {
public:
    enum class Mode { hidden, live, frozen };

    // `geometry` in root coordinates; `pixels` the size the fold is drawn at. Textures made
    // in `share` (the capture's context) can be folded.
    OverlayPanel(QRect geometry, QSize pixels, OverlayPanelHooks hooks,
                 QOpenGLContext* share = nullptr);
    ~OverlayPanel() override;

    void showLive(std::int64_t fps);
    void showFrozen();
    void hide();
    bool isLive() const { return mode_ == Mode::live; }
    void setFrameRate(std::int64_t fps);

    // CoverHost
    int width() const override { return pixels_.width(); }
    int height() const override { return pixels_.height(); }
    void setCoverDressing(std::optional<CoverDressing> dressing) override;

    Mode mode() const { return mode_; }
    unsigned long xWindow() const { return static_cast<unsigned long>(winId()); }
    // For the capture: textures it makes in this context are drawn here.
    QOpenGLContext* glContext() const { return context(); }
    QSurface* glSurface() { return this; }
    // Frames drawn so far, the last one's parameters, and whether OpenGL 3.3 was missing.
    int drawCount() const { return draws_; }
    // How often it restacked itself.
    int restackCount() const { return guard_.raises(); }
    const std::optional<FoldFrameParams>& lastFrame() const { return lastFrame_; }
    bool rendererMissing() const { return rendererMissing_; }
    const StackGuard& stackGuard() const { return guard_; }
    // This process's windows that may stay above the panel.
    void allowAbove(std::function<std::vector<unsigned long>()> windows) {
        guard_.allowAbove(std::move(windows));
    }

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void enter(Mode mode);
    void drawNow();
    void showAfterFirstFrame();
    // Copies the desktop into the fold's target.
    void underlay(const SourceTexture& source);
    void onSwapped();
    void onPacer();
    void schedule();
    // When the frame will show: the last swap plus the refresh intervals of one drawn frame.
    double targetTime(double now) const;
    // Refresh intervals per drawn frame: frames are skipped to honour a cap below the refresh.
    int stride() const;
    double refreshInterval() const;

    QSize pixels_;
    // Whether the last paint had a picture of the desktop to fold.
    bool hadSource_ = false;
    OverlayPanelHooks hooks_;
    Mode mode_ = Mode::hidden;
    std::int64_t fps_ = 60;
    std::optional<CoverDressing> dressing_;
    std::optional<FoldRenderer> renderer_;
    gl::RenderTexture canvas_; // the fold's target, copied upright into the window
    gl::Framebuffer sourceRead_;
    bool rendererMissing_ = false;
    bool paceByTimer_ = true;
    double lastSwap_ = 0;
    double fired_ = 0;   // when the last frame was asked for, 0 when none is pending
    double latency_ = 0; // from asking for a frame to its swap
    int draws_ = 0;
    std::optional<FoldFrameParams> lastFrame_;
    QTimer pacer_;
    StackGuard guard_;
};

} // namespace orvane
