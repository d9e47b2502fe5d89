// SPDX-License-Identifier: MIT
#include "render/linux/StackGuard.h"

#include "core/Tuning.h"
#include "platform/MonotonicClock.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <epoxy/glx.h>

namespace orvane {

StackGuard::StackGuard(std::function<unsigned long()> window, _XDisplay* actions)
    : window_(std::move(window)), actions_(actions) {
    // Off X11 there is no stack to guard.
    if (actions_ == nullptr) {
        return;
    }
    // A connection of its own: its events never mix with Qt's.
    display_ = XOpenDisplay(XDisplayString(actions_));
    if (display_ == nullptr) {
        return;
    }
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XFlush(display_);
    notifier_ =
        std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
    pending_.setSingleShot(true);
    QObject::connect(&pending_, &QTimer::timeout, [this] { check(); });
}

StackGuard::~StackGuard() {
    notifier_.reset();
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

void StackGuard::setActive(bool active) {
    active_ = active;
    if (active_) {
        check();
    } else {
        pending_.stop();
    }
}

void StackGuard::drain() {
    if (display_ == nullptr || actions_ == nullptr) {
        return;
    }
    // Any map, restack or circulate may have put a window above ours; one check covers
    // them, and no more often than the interval.
    while (XPending(display_) > 0) {
        XEvent event{};
        XNextEvent(display_, &event);
    }
    if (!active_ || pending_.isActive()) {
        return;
    }
    const double wait = lastCheck_ + Tuning::stackCheckInterval - monotonicSeconds();
    if (wait <= 0) {
        check();
    } else {
        pending_.start(static_cast<int>(std::ceil(wait * 1000)));
    }
}

void StackGuard::check() {
    if (display_ == nullptr || actions_ == nullptr || !active_) {
        return;
    }
    lastCheck_ = monotonicSeconds();
    const unsigned long ours = window_();
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XWindowAttributes own{};
    if (ours == 0 || XGetWindowAttributes(actions_, ours, &own) == 0 ||
        XQueryTree(actions_, DefaultRootWindow(actions_), &root, &parent, &children, &count) == 0) {
        return;
    }
    const QRect area(own.x, own.y, own.width, own.height);
    std::vector<unsigned long> allowed;
    if (allowedAbove_) {
        for (const unsigned long window : allowedAbove_()) {
            const unsigned long top = topLevelOf(window);
            if (top != ours) {
                allowed.push_back(top);
            }
        }
    }
    const auto isAllowed = [&](unsigned long window) {
        return std::find(allowed.begin(), allowed.end(), window) != allowed.end();
    };
    // Bottom to top: where ours is, the lowest of ours allowed above it, and whether another
    // window covers it below that one (or anywhere above, when none is allowed).
    std::optional<unsigned> ourIndex;
    unsigned long lowestAllowed = 0;
    bool covered = false;
    for (unsigned i = 0; i < count && lowestAllowed == 0; ++i) {
        if (children[i] == ours) {
            ourIndex = i;
        } else if (isAllowed(children[i]) && covers(children[i], area)) {
            lowestAllowed = children[i];
        } else if (ourIndex && !covered && covers(children[i], area)) {
            covered = true;
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    if (!ourIndex && lowestAllowed == 0) {
        return;
    }
    const bool allowedBelow = lowestAllowed != 0 && !ourIndex;
    if (!covered && !allowedBelow) {
        return;
    }
    if (lowestAllowed != 0) {
        XWindowChanges changes{};
        changes.sibling = static_cast<Window>(lowestAllowed);
        changes.stack_mode = Below;
        XConfigureWindow(actions_, ours, CWSibling | CWStackMode, &changes);
    } else {
        XRaiseWindow(actions_, ours);
    }
    XFlush(actions_);
    ++raises_;
}

unsigned long StackGuard::topLevelOf(unsigned long window) const {
    const Window rootWindow = DefaultRootWindow(actions_);
    for (Window current = window;;) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(actions_, current, &root, &parent, &children, &count) == 0) {
            return window;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == rootWindow || parent == 0) {
            return current;
        }
        current = parent;
    }
}

bool StackGuard::covers(unsigned long window, const QRect& area) const {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(actions_, window, &attributes) != 0 &&
           attributes.map_state == IsViewable &&
           area.intersects(QRect(attributes.x, attributes.y,
                                 attributes.width + 2 * attributes.border_width,
                                 attributes.height + 2 * attributes.border_width));
}

void setBypassCompositor(_XDisplay* display, unsigned long window) {
    if (display == nullptr || window == 0) {
        return;
    }
    const Atom bypass = XInternAtom(display, "_NET_WM_BYPASS_COMPOSITOR", False);
    const long value = 2;
    XChangeProperty(display, window, bypass, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XFlush(display);
}

void moveResizeNative(_XDisplay* display, unsigned long window, const QRect& rect) {
    if (display == nullptr || window == 0) {
        return;
    }
    XMoveResizeWindow(display, window, rect.x(), rect.y(), static_cast<unsigned>(rect.width()),
                      static_cast<unsigned>(rect.height()));
    XFlush(display);
}

bool hasVblankSync(_XDisplay* display) {
    return display != nullptr &&
           epoxy_has_glx_extension(display, DefaultScreen(display), "GLX_OML_sync_control");
}

} // namespace orvane
