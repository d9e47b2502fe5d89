// SPDX-License-Identifier: MIT
#include "capture/linux/X11CaptureBackend.h"

#include "capture/linux/FrameCompositor.h"
#include "capture/linux/PixmapTextures.h"
#include "capture/linux/WindowStack.h"
#include "platform/X11Errors.h"

#include <QOpenGLContext>

#include <X11/Xlib.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// NameWindowPixmap arrived with Composite 0.2.
constexpr int compositeMinimumMinor = 2;

} // namespace

X11CaptureBackend::X11CaptureBackend(Setup setup) : setup_(std::move(setup)) {
    pacer_.setSingleShot(true);
    pacer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pacer_, &QTimer::timeout, [this] { frame(); });
}

X11CaptureBackend::~X11CaptureBackend() {
    *alive_ = false;
    close();
}

void X11CaptureBackend::start(std::function<void(std::optional<CaptureError>)> done) {
    setup_.scheduler.after(0, [this, alive = std::weak_ptr<bool>(alive_), done] {
        if (const auto token = alive.lock(); !token || !*token) {
            return done(CaptureError{CaptureError::Kind::cancelled, {}});
        }
        if (running_) {
            return done(std::nullopt);
        }
        if (const std::optional<X11CaptureFault> fault = open()) {
            close();
            return done(CaptureError{CaptureError::Kind::streamFailed, describe(*fault)});
        }
        running_ = true;
        dirty_ = true; // the first frame always
        requestFrame();
        done(std::nullopt);
    });
}

void X11CaptureBackend::stop(std::function<void()> done) {
    close();
    setup_.scheduler.after(0, [done] { done(); });
}

std::optional<X11CaptureFault> X11CaptureBackend::open() {
    QOpenGLContext* context = setup_.target.context.data();
    if (!setup_.target.makeCurrent()) {
        return X11CaptureFault::contextLost;
    }
    if (context->nativeInterface<QNativeInterface::QGLXContext>() == nullptr) {
        return X11CaptureFault::contextNotGLX;
    }
    connection_ = X11Connection::open(DisplayString(setup_.glxDisplay));
    if (!connection_) {
        return X11CaptureFault::connectionFailed;
    }
    Display* display = connection_->display();
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = compositeMinimumMinor;
    if (!XCompositeQueryExtension(display, &eventBase, &errorBase) ||
        !XCompositeQueryVersion(display, &major, &minor) ||
        (major == 0 && minor < compositeMinimumMinor)) {
        return X11CaptureFault::noComposite;
    }
    int damageEventBase = 0;
    int damageMajor = 1;
    int damageMinor = 1;
    if (!XDamageQueryExtension(display, &damageEventBase, &errorBase) ||
        !XDamageQueryVersion(display, &damageMajor, &damageMinor)) {
        return X11CaptureFault::noDamage;
    }
    textures_ = std::make_unique<PixmapTextures>(setup_.glxDisplay);
    if (const auto fault = textures_->begin()) {
        return fault;
    }
    compositor_ = std::make_unique<FrameCompositor>(setup_.target, setup_.area);
    if (const auto fault = compositor_->begin()) {
        return fault;
    }
    stack_ = std::make_unique<WindowStack>(WindowStack::Ports{
        display, damageEventBase, setup_.area, setup_.ownWindows, [this](unsigned long pixmap) {
            if (setup_.target.makeCurrent()) {
                textures_->forget(pixmap);
            }
        }});
    stack_->begin();
    XFlush(display);
    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    // Free the textures while the context still exists.
    QObject::connect(context, &QOpenGLContext::aboutToBeDestroyed, &pacer_,
                     [this] { fail(X11CaptureFault::contextLost); });
    return std::nullopt;
}

void X11CaptureBackend::close() {
    running_ = false;
    notifier_.reset();
    pacer_.stop();
    if (QOpenGLContext* context = setup_.target.context.data()) {
        QObject::disconnect(context, &QOpenGLContext::aboutToBeDestroyed, &pacer_, nullptr);
    }
    const bool current = (textures_ || compositor_) && setup_.target.makeCurrent();
    if (textures_ && !current) {
        textures_->abandon();
    }
    textures_.reset();
    compositor_.reset();
    stack_.reset();
    connection_.reset();
}

void X11CaptureBackend::drain() {
    Display* display = connection_->display();
    const X11ErrorTrap trap; // errors of requests on windows that are gone by now
    while (!connection_->lost() && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        dirty_ = stack_->handle(event) || dirty_;
    }
    XFlush(display); // the damage just emptied
}

void X11CaptureBackend::readEvents() {
    if (!running_) {
        return;
    }
    drain();
    if (connection_->lost()) {
        return fail(X11CaptureFault::displayLost);
    }
    if (dirty_) {
        requestFrame();
    }
}

void X11CaptureBackend::requestFrame() {
    if (!running_ || pacer_.isActive()) {
        return;
    }
    const double interval = 1.0 / static_cast<double>(std::max<std::int64_t>(setup_.fps, 1));
    double wait = 0;
    if (sinceFrame_.isValid()) {
        wait = std::max(0.0, interval - static_cast<double>(sinceFrame_.nsecsElapsed()) * 1e-9);
    }
    pacer_.start(static_cast<int>(std::ceil(wait * 1000)));
}

void X11CaptureBackend::frame() {
    if (!running_) {
        return;
    }
    drain();
    if (connection_->lost()) {
        return fail(X11CaptureFault::displayLost);
    }
    if (!dirty_) {
        return;
    }
    if (!setup_.target.makeCurrent()) {
        return fail(X11CaptureFault::contextLost);
    }
    std::shared_ptr<const FrameTexture> picture;
    {
        const X11ErrorTrap trap;
        stack_->refresh();
        picture = compositor_->compose(layers());
    }
    if (connection_->lost()) {
        return fail(X11CaptureFault::displayLost);
    }
    sinceFrame_.restart();
    if (!picture) {
        // Every pooled frame is still held: try again one interval later.
        return requestFrame();
    }
    stack_->framed();
    dirty_ = false;
    const std::shared_ptr<FrameSink> sink = setup_.sink;
    sink->deliver(std::move(picture));
    if (running_) {
        readEvents();
    }
}

std::vector<Layer> X11CaptureBackend::layers() {
    std::vector<Layer> layers;
    const Wallpaper& wallpaper = stack_->wallpaper();
    if (wallpaper.pixmap != 0) {
        if (const auto texture =
                textures_->texture(wallpaper.pixmap, wallpaper.depth, wallpaper.changed)) {
            layers.push_back({texture->texture, 0, 0, wallpaper.width, wallpaper.height,
                              texture->topRowFirst, false});
        }
    }
    for (const TopLevel* window : stack_->visible()) {
        if (const auto texture = textures_->texture(window->pixmap, window->depth,
                                                    window->damaged || window->renamed)) {
            layers.push_back({texture->texture, window->x, window->y, window->width, window->height,
                              texture->topRowFirst, texture->hasAlpha});
        }
    }
    return layers;
}

void X11CaptureBackend::fail(X11CaptureFault fault) {
    close();
    const std::shared_ptr<FrameSink> sink = setup_.sink;
    sink->fail(describe(fault));
}

} // namespace orvane
