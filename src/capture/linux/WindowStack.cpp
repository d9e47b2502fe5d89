// SPDX-License-Identifier: MIT
#include "capture/linux/WindowStack.h"

#include "platform/X11Errors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <optional>
#include <unistd.h>

namespace orvane {

namespace {

// A window property holding one 32-bit value (a PID, a pixmap id), or none.
std::optional<unsigned long> cardinalProperty(Display* display, Window window, Atom property,
                                              Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> value;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        actualType == type && format == 32 && count == 1 && data != nullptr) {
        value = *reinterpret_cast<const unsigned long*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

bool contains(const std::vector<unsigned long>& ids, unsigned long id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace

WindowStack::WindowStack(Ports ports) : ports_(std::move(ports)) {}

WindowStack::~WindowStack() {
    Display* display = ports_.display;
    const X11ErrorTrap trap;
    for (TopLevel& window : windows_) {
        if (window.pixmap != 0) {
            XFreePixmap(display, window.pixmap);
        }
        if (window.damage != 0) {
            XDamageDestroy(display, window.damage);
        }
    }
    if (root_ != 0) {
        XSelectInput(display, root_, NoEventMask);
        XCompositeUnredirectSubwindows(display, root_, CompositeRedirectAutomatic);
    }
    XSync(display, False);
}

void WindowStack::begin() {
    Display* display = ports_.display;
    root_ = DefaultRootWindow(display);
    rootWidth_ = DisplayWidth(display, DefaultScreen(display));
    rootHeight_ = DisplayHeight(display, DefaultScreen(display));
    pidAtom_ = XInternAtom(display, "_NET_WM_PID", False);
    wallpaperAtoms_[0] = XInternAtom(display, "_XROOTPMAP_ID", False);
    wallpaperAtoms_[1] = XInternAtom(display, "ESETROOT_PMAP_ID", False);
    // Automatic redirection keeps the screen as it was and coexists with a
    // compositing manager's manual redirection.
    XCompositeRedirectSubwindows(display, root_, CompositeRedirectAutomatic);
    XSelectInput(display, root_, SubstructureNotifyMask | PropertyChangeMask);
    orderStale_ = true;
    wallpaperStale_ = true;
}

TopLevel* WindowStack::find(unsigned long id) {
    const auto at = std::find_if(windows_.begin(), windows_.end(),
                                 [id](const TopLevel& window) { return window.id == id; });
    return at == windows_.end() ? nullptr : &*at;
}

bool WindowStack::inArea(const TopLevel& window) const {
    const CapturePreparation& area = ports_.area;
    return window.x < area.x + area.width && area.x < window.x + window.width &&
           window.y < area.y + area.height && area.y < window.y + window.height;
}

bool WindowStack::isOwn(const TopLevel& window) const {
    return window.ownPid || contains(own_, window.id) ||
           std::any_of(window.children.begin(), window.children.end(),
                       [this](unsigned long child) { return contains(own_, child); });
}

bool WindowStack::handle(const XEvent& event) {
    switch (event.type) {
    case CreateNotify:
        // New windows start unmapped: nothing to show until MapNotify.
        orderStale_ = orderStale_ || event.xcreatewindow.parent == root_;
        return false;
    case DestroyNotify: {
        const TopLevel* window = find(event.xdestroywindow.window);
        const bool shown = window != nullptr && window->viewable && inArea(*window);
        drop(event.xdestroywindow.window, true);
        return shown;
    }
    case MapNotify:
        if (TopLevel* window = find(event.xmap.window)) {
            window->viewable = true;
            window->needsPixmap = true;
            window->ownerKnown = false;
            return inArea(*window);
        }
        orderStale_ = true;
        return true;
    case UnmapNotify:
        if (TopLevel* window = find(event.xunmap.window)) {
            window->viewable = false;
            releasePixmap(*window);
            return inArea(*window);
        }
        return false;
    case ConfigureNotify:
        return handleConfigure(event);
    case ReparentNotify:
        if (event.xreparent.parent == root_) {
            orderStale_ = true;
            return true;
        }
        if (const TopLevel* window = find(event.xreparent.window)) {
            const bool shown = window->viewable && inArea(*window);
            drop(event.xreparent.window, false);
            return shown;
        }
        return false;
    case CirculateNotify:
        orderStale_ = true;
        return true;
    case PropertyNotify:
        if (event.xproperty.window == root_ && (event.xproperty.atom == wallpaperAtoms_[0] ||
                                                event.xproperty.atom == wallpaperAtoms_[1])) {
            wallpaperStale_ = true;
            return true;
        }
        return false;
    default:
        return event.type == ports_.damageEventBase + XDamageNotify && handleDamage(event);
    }
}

bool WindowStack::handleConfigure(const XEvent& event) {
    const XConfigureEvent& configure = event.xconfigure;
    TopLevel* window = find(configure.window);
    if (window == nullptr) {
        return false;
    }
    const bool wasInArea = inArea(*window);
    const int width = configure.width + 2 * configure.border_width;
    const int height = configure.height + 2 * configure.border_width;
    if (width != window->width || height != window->height) {
        window->needsPixmap = window->viewable;
    }
    window->x = configure.x;
    window->y = configure.y;
    window->width = width;
    window->height = height;
    // A restack names the sibling it now lies on: re-read the order when ours differs.
    const auto at = windows_.begin() + (window - windows_.data());
    const unsigned long below = at == windows_.begin() ? None : std::prev(at)->id;
    orderStale_ = orderStale_ || below != configure.above;
    return window->viewable && (wasInArea || inArea(*window));
}

bool WindowStack::handleDamage(const XEvent& event) {
    const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
    // Report-non-empty sends one event until the damage is emptied.
    XDamageSubtract(ports_.display, damage.damage, None, None);
    TopLevel* window = find(damage.drawable);
    if (window == nullptr || !window->viewable || isOwn(*window)) {
        return false;
    }
    window->damaged = true;
    // A page-flipping full-screen window may have swapped its pixmap under us.
    if (window->x <= 0 && window->y <= 0 && window->x + window->width >= rootWidth_ &&
        window->y + window->height >= rootHeight_) {
        window->needsPixmap = true;
    }
    return inArea(*window);
}

void WindowStack::refresh() {
    const X11ErrorTrap trap;
    if (orderStale_) {
        restack();
    }
    if (wallpaperStale_) {
        readWallpaper();
    }
    own_ = ports_.ownWindows ? ports_.ownWindows() : std::vector<unsigned long>{};
    for (TopLevel& window : windows_) {
        if (window.viewable && !window.inputOnly && !window.ownerKnown) {
            readOwner(window);
        }
    }
    namePixmaps();
}

void WindowStack::restack() {
    Display* display = ports_.display;
    Window rootReturn = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root_, &rootReturn, &parent, &children, &count)) {
        return;
    }
    std::vector<TopLevel> ordered;
    ordered.reserve(count);
    for (unsigned int i = 0; i < count; ++i) {
        if (TopLevel* known = find(children[i])) {
            ordered.push_back(std::move(*known));
            known->id = 0; // taken
        } else if (TopLevel fresh; track(children[i], fresh)) {
            ordered.push_back(std::move(fresh));
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    // What the tree no longer holds went away without an event we saw yet.
    for (TopLevel& gone : windows_) {
        if (gone.id != 0) {
            releasePixmap(gone);
            if (gone.damage != 0) {
                XDamageDestroy(display, gone.damage); // fails quietly when it went with its window
            }
        }
    }
    windows_ = std::move(ordered);
    orderStale_ = false;
}

bool WindowStack::track(unsigned long id, TopLevel& out) {
    Display* display = ports_.display;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, id, &attributes)) {
        return false; // gone already
    }
    out.id = id;
    out.x = attributes.x;
    out.y = attributes.y;
    out.width = attributes.width + 2 * attributes.border_width;
    out.height = attributes.height + 2 * attributes.border_width;
    out.depth = attributes.depth;
    out.inputOnly = attributes.c_class == InputOnly;
    out.viewable = attributes.map_state == IsViewable;
    out.needsPixmap = out.viewable;
    if (!out.inputOnly) {
        out.damage = XDamageCreate(display, id, XDamageReportNonEmpty);
    }
    return true;
}

void WindowStack::readOwner(TopLevel& window) {
    Display* display = ports_.display;
    const std::optional<unsigned long> pid =
        cardinalProperty(display, window.id, pidAtom_, XA_CARDINAL);
    window.ownPid = pid && *pid == static_cast<unsigned long>(::getpid());
    window.children.clear();
    Window rootReturn = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window.id, &rootReturn, &parent, &children, &count)) {
        window.children.assign(children, children + count);
    }
    if (children != nullptr) {
        XFree(children);
    }
    window.ownerKnown = true;
}

void WindowStack::namePixmaps() {
    Display* display = ports_.display;
    struct Naming {
        std::size_t index;
        std::uint64_t first;
        std::uint64_t end;
    };
    std::vector<Naming> named;
    X11ErrorTrap trap;
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        TopLevel& window = windows_[i];
        if (!window.needsPixmap || !window.viewable || window.inputOnly || isOwn(window) ||
            !inArea(window)) {
            continue;
        }
        releasePixmap(window);
        const std::uint64_t first = X11ErrorTrap::nextSerial(display);
        window.pixmap = XCompositeNameWindowPixmap(display, window.id);
        named.push_back({i, first, X11ErrorTrap::nextSerial(display)});
        window.needsPixmap = false;
    }
    if (named.empty()) {
        return;
    }
    trap.sync(display);
    for (const Naming& naming : named) {
        TopLevel& window = windows_[naming.index];
        // Unmapped or destroyed meanwhile: its event follows; show nothing of it now.
        window.renamed = !trap.failedSoFar(display, naming.first, naming.end);
        if (!window.renamed) {
            window.pixmap = 0;
        }
    }
}

void WindowStack::readWallpaper() {
    Display* display = ports_.display;
    Wallpaper next;
    for (const unsigned long atom : wallpaperAtoms_) {
        if (const auto pixmap = cardinalProperty(display, root_, atom, XA_PIXMAP)) {
            next.pixmap = *pixmap;
            break;
        }
    }
    Window root = None;
    int x = 0;
    int y = 0;
    unsigned int width = 0;
    unsigned int height = 0;
    unsigned int border = 0;
    unsigned int depth = 0;
    // A setter that quit leaves a stale id, which the server may since have
    // given to another client's window: only a pixmap will do.
    XWindowAttributes window{};
    if (next.pixmap != 0 && !XGetWindowAttributes(display, next.pixmap, &window) &&
        XGetGeometry(display, next.pixmap, &root, &x, &y, &width, &height, &border, &depth)) {
        next.width = static_cast<int>(width);
        next.height = static_cast<int>(height);
        next.depth = static_cast<int>(depth);
    } else {
        next.pixmap = 0;
    }
    if (wallpaper_.pixmap != 0 && ports_.pixmapGone) {
        ports_.pixmapGone(wallpaper_.pixmap);
    }
    next.changed = true;
    wallpaper_ = next;
    wallpaperStale_ = false;
}

void WindowStack::releasePixmap(TopLevel& window) {
    if (window.pixmap == 0) {
        return;
    }
    if (ports_.pixmapGone) {
        ports_.pixmapGone(window.pixmap);
    }
    XFreePixmap(ports_.display, window.pixmap);
    window.pixmap = 0;
}

void WindowStack::drop(unsigned long id, bool destroyed) {
    const auto at = std::find_if(windows_.begin(), windows_.end(),
                                 [id](const TopLevel& window) { return window.id == id; });
    if (at == windows_.end()) {
        return;
    }
    releasePixmap(*at);
    if (!destroyed && at->damage != 0) {
        XDamageDestroy(ports_.display, at->damage);
    }
    windows_.erase(at);
}

void WindowStack::framed() {
    for (TopLevel& window : windows_) {
        window.renamed = false;
        window.damaged = false;
    }
    wallpaper_.changed = false;
}

std::vector<const TopLevel*> WindowStack::visible() const {
    std::vector<const TopLevel*> shown;
    for (const TopLevel& window : windows_) {
        if (window.viewable && !window.inputOnly && window.pixmap != 0 && !isOwn(window) &&
            inArea(window)) {
            shown.push_back(&window);
        }
    }
    return shown;
}

} // namespace orvane
