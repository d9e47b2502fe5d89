// SPDX-License-Identifier: MIT
// The Escape key for the whole desktop while the overlay shows: a passive grab
// on the root window over Qt's own X connection, its presses read where Qt
// reads every event of that connection.
#pragma once

#include "core/SystemLog.h"
#include "effect/EffectPorts.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <array>
#include <functional>

struct _XDisplay;

namespace orvane {

class EscapeHotkey final : public EscapeKeyControl, private QAbstractNativeEventFilter {
public:
    // `display` is Qt's own (QNativeInterface::QX11Application::display()), so
    // this must go before the application does; without one (not on X11)
    // every call does nothing.
    EscapeHotkey(_XDisplay* display, SystemLog& log);
    ~EscapeHotkey() override;
    EscapeHotkey(const EscapeHotkey&) = delete;
    EscapeHotkey& operator=(const EscapeHotkey&) = delete;

    void registerKey() override;
    void unregisterKey() override;
    bool registered() const { return registered_; }

    // On the main thread, after the press was read; once per press.
    std::function<void()> onEscape;

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void ungrab();

    _XDisplay* display_;
    SystemLog& log_;
    unsigned long root_ = 0;
    unsigned keycode_ = 0;
    std::array<unsigned, 4> modifiers_{};
    bool registered_ = false;
    bool keyDown_ = false;
    bool heldElsewhereNoted_ = false;
    // Queued calls to onEscape are dropped with it.
    QObject context_;
};

} // namespace orvane
