// SPDX-License-Identifier: MIT
#include "app/linux/EscapeHotkey.h"

#include "platform/X11Errors.h"

#include <QCoreApplication>

#include <array>
#include <cstdint>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace orvane {

namespace {

// Grabs match modifiers exactly, and the lock keys are modifiers too.
unsigned numLockMask(Display* display) {
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = numLock != 0 ? XGetModifierMapping(display) : nullptr;
    if (map == nullptr) {
        return 0;
    }
    unsigned mask = 0;
    for (int modifier = ShiftMapIndex; modifier <= Mod5MapIndex; ++modifier) {
        for (int slot = 0; slot < map->max_keypermod; ++slot) {
            if (map->modifiermap[modifier * map->max_keypermod + slot] == numLock) {
                mask = 1U << static_cast<unsigned>(modifier);
            }
        }
    }
    XFreeModifiermap(map);
    return mask;
}

} // namespace

EscapeHotkey::EscapeHotkey(_XDisplay* display, SystemLog& log) : display_(display), log_(log) {
    if (display_ == nullptr) {
        return;
    }
    root_ = DefaultRootWindow(display_);
    // Held keys then repeat as presses alone, without a release before each.
    XkbSetDetectableAutoRepeat(display_, True, nullptr);
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installNativeEventFilter(this);
    }
}

EscapeHotkey::~EscapeHotkey() {
    unregisterKey();
    if (QCoreApplication* app = QCoreApplication::instance();
        app != nullptr && display_ != nullptr) {
        app->removeNativeEventFilter(this);
    }
}

void EscapeHotkey::registerKey() {
    if (display_ == nullptr || registered_) {
        return;
    }
    keycode_ = XKeysymToKeycode(display_, XK_Escape);
    if (keycode_ == 0) {
        return;
    }
    // A key another client grabbed fails with BadAccess, answered only later.
    const unsigned numLock = numLockMask(display_);
    modifiers_ = {0U, LockMask, numLock, numLock | LockMask};
    X11ErrorTrap trap;
    const std::uint64_t first = X11ErrorTrap::nextSerial(display_);
    for (const unsigned modifiers : modifiers_) {
        XGrabKey(display_, static_cast<int>(keycode_), modifiers, root_, False, GrabModeAsync,
                 GrabModeAsync);
    }
    if (trap.failed(display_, first, X11ErrorTrap::nextSerial(display_))) {
        ungrab();
        if (!heldElsewhereNoted_) {
            heldElsewhereNoted_ = true;
            log_.note("escape",
                      "The Escape key is held by another program; Escape will not end the fold.");
        }
        return;
    }
    heldElsewhereNoted_ = false;
    registered_ = true;
    keyDown_ = false;
}

void EscapeHotkey::unregisterKey() {
    if (!registered_) {
        return;
    }
    registered_ = false;
    ungrab();
}

void EscapeHotkey::ungrab() {
    // Releases only this client's grabs, so variants that failed cost nothing.
    for (const unsigned modifiers : modifiers_) {
        XUngrabKey(display_, static_cast<int>(keycode_), modifiers, root_);
    }
    // Once this returns, another program may take the key.
    XSync(display_, False);
}

bool EscapeHotkey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    // Sent events carry another response type, so a client cannot fake a press.
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (event->response_type != XCB_KEY_PRESS && event->response_type != XCB_KEY_RELEASE) {
        return false;
    }
    // Only the grab brings key events of the root window to this connection.
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->event != root_ || key->detail != keycode_) {
        return false;
    }
    const bool press = event->response_type == XCB_KEY_PRESS;
    const bool repeat = press && keyDown_;
    keyDown_ = press;
    if (press && !repeat && registered_) {
        QMetaObject::invokeMethod(
            &context_,
            [this] {
                if (onEscape) {
                    onEscape();
                }
            },
            Qt::QueuedConnection);
    }
    return true;
}

} // namespace orvane
