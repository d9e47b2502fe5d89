// SPDX-License-Identifier: MIT
// Keeps one override-redirect window above every other root child it overlaps:
// the window manager no longer stacks it, so it restacks itself whenever the
// root reports a window mapped, restacked or circulated above it. This
// process's windows that may stay above (the settings window holding the fold,
// its popups, About) keep their place: the window goes just below the lowest.
#pragma once

#include <QRect>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

struct _XDisplay;

namespace orvane {

class StackGuard {
public:
    // `window` is read on each check: Qt re-creates the X window after flag changes.
    // Restacks through `actions`, Qt's own connection, whose error handler ignores a
    // window that went away between the check and the restack.
    StackGuard(std::function<unsigned long()> window, _XDisplay* actions);
    ~StackGuard();
    StackGuard(const StackGuard&) = delete;
    StackGuard& operator=(const StackGuard&) = delete;

    // Restacks only while active.
    void setActive(bool active);
    // This process's windows that may stay above.
    void allowAbove(std::function<std::vector<unsigned long>()> windows) {
        allowedAbove_ = std::move(windows);
    }
    bool connected() const { return display_ != nullptr; }
    int raises() const { return raises_; }

private:
    void drain();
    void check();

    // The root's child that holds `window`: itself, or a window manager's frame.
    unsigned long topLevelOf(unsigned long window) const;
    // Viewable and overlapping `area`.
    bool covers(unsigned long window, const QRect& area) const;

    std::function<unsigned long()> window_;
    std::function<std::vector<unsigned long>()> allowedAbove_;
    _XDisplay* actions_ = nullptr;
    _XDisplay* display_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer pending_;
    double lastCheck_ = 0;
    bool active_ = false;
    int raises_ = 0;
};

// Asks a compositor to leave the window alone (_NET_WM_BYPASS_COMPOSITOR = 2: keep compositing
// it, without shadows or fades).
void setBypassCompositor(_XDisplay* display, unsigned long window);

// Places the window at `rect` in the server's own pixels, whatever Qt's scale.
void moveResizeNative(_XDisplay* display, unsigned long window, const QRect& rect);

// Whether swaps can wait for the vertical blank: Xvfb has no vblank and no GLX_OML_sync_control.
bool hasVblankSync(_XDisplay* display);

} // namespace orvane
