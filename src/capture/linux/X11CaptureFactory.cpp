// SPDX-License-Identifier: MIT
#include "capture/linux/X11CaptureFactory.h"

#include "capture/X11CaptureFault.h"
#include "capture/linux/X11CaptureBackend.h"
#include "capture/linux/X11Screens.h"

namespace orvane {

X11CaptureFactory::X11CaptureFactory(Ports ports) : ports_(std::move(ports)) {}

X11CaptureFactory::~X11CaptureFactory() {
    *alive_ = false;
}

std::function<void()> X11CaptureFactory::guarded(std::function<void()> work) {
    return [alive = std::weak_ptr<bool>(alive_), work = std::move(work)] {
        if (const auto token = alive.lock(); token && *token) {
            work();
        }
    };
}

bool X11CaptureFactory::available() {
    if (ports_.display != nullptr) {
        return true;
    }
    if (!loggedUnavailable_) {
        loggedUnavailable_ = true;
        ports_.log.note("capture",
                        "screen capture is unavailable: " + describe(X11CaptureFault::notX11));
    }
    return false;
}

std::optional<BuiltInDisplay::Screen> X11CaptureFactory::builtInScreen() {
    if (ports_.display == nullptr) {
        return std::nullopt;
    }
    const std::string chosen = ports_.builtInScreen ? ports_.builtInScreen() : std::string();
    return BuiltInDisplay::find(connectedScreens(ports_.display), chosen);
}

void X11CaptureFactory::prepare(std::function<void(Prepared)> done) {
    ports_.scheduler.after(
        0, guarded([this, done] {
            if (!available()) {
                return done(CaptureError{CaptureError::Kind::streamFailed,
                                         describe(X11CaptureFault::notX11)});
            }
            const std::optional<BuiltInDisplay::Screen> screen = builtInScreen();
            if (!screen) {
                return done(std::optional<CapturePreparation>());
            }
            done(std::optional<CapturePreparation>(CapturePreparation{
                screen->name, screen->x, screen->y, screen->width, screen->height}));
        }));
}

void X11CaptureFactory::makeBackend(const CapturePreparation& preparation, std::int64_t fps,
                                    std::shared_ptr<FrameSink> sink,
                                    std::function<void(Made)> done) {
    ports_.scheduler.after(0, guarded([this, preparation, fps, sink, done] {
                               if (!available()) {
                                   return done(CaptureError{CaptureError::Kind::streamFailed,
                                                            describe(X11CaptureFault::notX11)});
                               }
                               auto backend =
                                   std::make_unique<X11CaptureBackend>(X11CaptureBackend::Setup{
                                       ports_.scheduler, GlTarget{&ports_.context, &ports_.surface},
                                       ports_.display, preparation, fps, sink, ports_.ownWindows});
                               done(std::unique_ptr<CaptureBackend>(std::move(backend)));
                           }));
}

} // namespace orvane
