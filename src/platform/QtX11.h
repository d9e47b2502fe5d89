// SPDX-License-Identifier: MIT
// The X connection Qt's windows live on, which every X11 adapter talks to.
// Header-only: the overlay's library links no other platform code.
#pragma once

#include <QGuiApplication>

namespace orvane {

// Null when the application does not run on X11 (Wayland, offscreen): then no
// X11 call may be made at all.
inline _XDisplay* qtX11Display() {
    const auto* application = qobject_cast<const QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = application != nullptr
                          ? application->nativeInterface<QNativeInterface::QX11Application>()
                          : nullptr;
    return x11 != nullptr ? x11->display() : nullptr;
}

} // namespace orvane
