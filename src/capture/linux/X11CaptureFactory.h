// SPDX-License-Identifier: MIT
// Capture of the built-in screen on X11: RandR finds the screen, streams
// composite the other processes' windows into the given OpenGL context. On
// a session without X (Wayland) the factory is unavailable: it says so once
// in the log and every request fails with the reason.
#pragma once

#include "capture/BuiltInDisplay.h"
#include "capture/CaptureBackend.h"
#include "core/Scheduler.h"
#include "core/SystemLog.h"
#include "platform/QtX11.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;
class QOpenGLContext;
class QSurface;

namespace orvane {

class X11CaptureFactory final : public CaptureFactory {
public:
    struct Ports {
        Scheduler& scheduler; // completions, later on the main thread
        SystemLog& log;
        // The overlay's GLX context and a surface to make it current on; both
        // outlive the factory and its frames.
        QOpenGLContext& context;
        QSurface& surface;
        std::function<std::string()> builtInScreen; // the setting; empty = automatic
        // This process's X windows (they change when Qt re-creates a window).
        std::function<std::vector<unsigned long>()> ownWindows;
        _XDisplay* display = qtX11Display(); // null off X11
    };

    explicit X11CaptureFactory(Ports ports);
    ~X11CaptureFactory() override;
    X11CaptureFactory(const X11CaptureFactory&) = delete;
    X11CaptureFactory& operator=(const X11CaptureFactory&) = delete;

    // X11 grants every client the screen's contents.
    bool preflight() override { return true; }
    void prepare(std::function<void(Prepared)> done) override;
    void makeBackend(const CapturePreparation& preparation, std::int64_t fps,
                     std::shared_ptr<FrameSink> sink, std::function<void(Made)> done) override;

    // The built-in screen now, as the setting and RandR say, with its refresh
    // rate for BuiltInDisplay::maxFPS; none off X11 or when there is none.
    std::optional<BuiltInDisplay::Screen> builtInScreen();

private:
    bool available();
    std::function<void()> guarded(std::function<void()> work);

    Ports ports_;
    bool loggedUnavailable_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace orvane
