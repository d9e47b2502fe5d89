// SPDX-License-Identifier: MIT
// One capture stream over X11, on the main thread: its own X connection
// follows the top-level windows (WindowStack), their pixmaps become textures
// (PixmapTextures) and are drawn into a frame of the built-in screen
// (FrameCompositor). A frame is made only when something in the area changed
// (the first always), at most `fps` a second, and delivered complete.
#pragma once

#include "capture/CaptureBackend.h"
#include "capture/X11CaptureFault.h"
#include "capture/linux/GlTarget.h"
#include "core/Scheduler.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

struct _XDisplay;

namespace orvane {

class X11Connection;
class PixmapTextures;
class FrameCompositor;
class WindowStack;
struct Layer;

class X11CaptureBackend final : public CaptureBackend {
public:
    struct Setup {
        Scheduler& scheduler;
        GlTarget target;
        _XDisplay* glxDisplay; // the connection the GLX context was made on
        CapturePreparation area;
        std::int64_t fps;
        std::shared_ptr<FrameSink> sink;
        std::function<std::vector<unsigned long>()> ownWindows;
    };

    explicit X11CaptureBackend(Setup setup);
    ~X11CaptureBackend() override;
    X11CaptureBackend(const X11CaptureBackend&) = delete;
    X11CaptureBackend& operator=(const X11CaptureBackend&) = delete;

    void start(std::function<void(std::optional<CaptureError>)> done) override;
    void stop(std::function<void()> done) override;

private:
    std::optional<X11CaptureFault> open();
    void close();
    void readEvents();
    void drain();
    void requestFrame();
    void frame();
    std::vector<Layer> layers();
    void fail(X11CaptureFault fault);

    Setup setup_;
    std::unique_ptr<X11Connection> connection_;
    std::unique_ptr<PixmapTextures> textures_;
    std::unique_ptr<FrameCompositor> compositor_;
    std::unique_ptr<WindowStack> stack_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer pacer_;
    QElapsedTimer sinceFrame_;
    bool running_ = false;
    bool dirty_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace orvane
