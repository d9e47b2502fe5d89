// SPDX-License-Identifier: MIT
// The fold drawn over an X11 desktop: an override-redirect overlay panel on
// the built-in screen folds the other windows, composited by the X11 capture
// in an OpenGL context the two share. X11 grants every client the screen.
#pragma once

#include "capture/CaptureService.h"
#include "capture/linux/X11CaptureFactory.h"
#include "effect/FoldDisplay.h"
#include "render/linux/OverlayPanel.h" // epoxy's GL header before Qt's

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace orvane {

class X11FoldDisplay final : public FoldDisplay {
public:
    struct Ports {
        Scheduler& scheduler;
        SystemLog& log;
        std::function<double()> uptime; // the capture's permission and retry clock
        // The builtInScreen setting; empty = automatic.
        std::function<std::string()> chosenScreen;
        // This process's X windows: the capture leaves them out.
        std::function<std::vector<unsigned long>()> ownWindows;
        // This process's windows that may stay above the overlay.
        std::function<std::vector<unsigned long>()> allowedAbove;
        std::function<void(QPainter&, QSize, const CoverDressing&)> paintCover;
    };

    // None without an OpenGL 3.3 context to compose and fold in.
    static std::unique_ptr<X11FoldDisplay> create(Ports ports);
    ~X11FoldDisplay() override;
    X11FoldDisplay(const X11FoldDisplay&) = delete;
    X11FoldDisplay& operator=(const X11FoldDisplay&) = delete;

    void attach(FoldDisplayClient* client) override { client_ = client; }
    void prepare() override;
    std::optional<DisplayProblem> problem() const override;
    std::optional<std::int64_t> maxFPS() const override;
    CaptureControl& desktop() override { return capture_; }
    void showLive(std::int64_t fps) override;
    void showFrozen() override;
    void hide() override;
    bool isLive() const override;
    void setFrameRate(std::int64_t fps) override;

    // CoverHost: the panel's.
    int width() const override;
    int height() const override;
    void setCoverDressing(std::optional<CoverDressing> dressing) override;

    // The overlay panel while there is a screen for it, and the capture.
    OverlayPanel* panel() const { return panel_.get(); }
    const CaptureService& capture() const { return capture_; }

private:
    explicit X11FoldDisplay(Ports ports);
    void makePanel(const BuiltInDisplay::Screen& screen);

    Ports ports_;
    FoldDisplayClient* client_ = nullptr;
    QOffscreenSurface surface_;
    QOpenGLContext context_;
    X11CaptureFactory factory_;
    CaptureService capture_;
    std::optional<BuiltInDisplay::Screen> screen_;
    std::unique_ptr<OverlayPanel> panel_;
};

} // namespace orvane
