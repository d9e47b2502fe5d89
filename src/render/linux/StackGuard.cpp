// SPDX-License-Identifier: MIT
#include "render/linux/StackGuard.h"

#include <algorithm>

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
        drain();
    }
}

void StackGuard::drain() {
    if (display_ == nullptr || actions_ == nullptr) {
        return;
    }
    // Any map, restack or circulate may have put a window above ours; one check covers them.
    while (XPending(display_) > 0) {
        XEvent event{};
        XNextEvent(display_, &event);
    }
    if (active_ && !onTop()) {
        XRaiseWindow(actions_, window_());
        XFlush(actions_);
        ++raises_;
    }
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

bool StackGuard::onTop() const {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(actions_, DefaultRootWindow(actions_), &root, &parent, &children, &count) == 0) {
        return true;
    }
    const unsigned long ours = window_();
    std::vector<unsigned long> allowed;
    if (allowedAbove_) {
        for (const unsigned long window : allowedAbove_()) {
            allowed.push_back(topLevelOf(window));
        }
    }
    // Bottom to top: only viewable windows above ours matter.
    bool above = false;
    bool covered = false;
    for (unsigned i = 0; i < count; ++i) {
        if (children[i] == ours) {
            above = true;
            continue;
        }
        if (above && std::find(allowed.begin(), allowed.end(), children[i]) == allowed.end()) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(actions_, children[i], &attributes) != 0 &&
                attributes.map_state == IsViewable) {
                covered = true;
                break;
            }
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return !covered;
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

bool hasVblankSync(_XDisplay* display) {
    return display != nullptr &&
           epoxy_has_glx_extension(display, DefaultScreen(display), "GLX_OML_sync_control");
}

} // namespace orvane
