// SPDX-License-Identifier: MIT
// Keeps one override-redirect window above every other root child: the window
// manager no longer stacks it, so it raises itself whenever the root reports a
// window mapped, restacked or circulated above it.
#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <vector>

struct _XDisplay;

namespace orvane {

class StackGuard {
public:
    // `window` is read on each check: Qt re-creates the X window after flag changes.
    // Raises through `actions`, Qt's own connection, whose error handler ignores a window
    // that went away between the check and the raise.
    StackGuard(std::function<unsigned long()> window, _XDisplay* actions);
    ~StackGuard();
    StackGuard(const StackGuard&) = delete;
    StackGuard& operator=(const StackGuard&) = delete;

    // Raises only while active.
    void setActive(bool active);
    // This process's windows that may stay above (a settings window holding the fold).
    void allowAbove(std::function<std::vector<unsigned long>()> windows) {
        allowedAbove_ = std::move(windows);
    }
    bool connected() const { return display_ != nullptr; }
    int raises() const { return raises_; }

private:
    void drain();
    bool onTop() const;

    // The root's child that holds `window`: itself, or a window manager's frame.
    unsigned long topLevelOf(unsigned long window) const;

    std::function<unsigned long()> window_;
    std::function<std::vector<unsigned long>()> allowedAbove_;
    _XDisplay* actions_ = nullptr;
    _XDisplay* display_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool active_ = false;
    int raises_ = 0;
};

// Asks a compositor to leave the window alone (_NET_WM_BYPASS_COMPOSITOR = 2: keep compositing
// it, without shadows or fades).
void setBypassCompositor(_XDisplay* display, unsigned long window);

// Whether swaps can wait for the vertical blank: Xvfb has no vblank and no GLX_OML_sync_control.
bool hasVblankSync(_XDisplay* display);

} // namespace orvane
