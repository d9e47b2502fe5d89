// SPDX-License-Identifier: MIT
#include "capture/linux/SessionScreens.h"

#include "capture/linux/X11Screens.h"
#include "platform/QtX11.h"

#include <QGuiApplication>
#include <QScreen>

namespace orvane {

std::vector<BuiltInDisplay::Screen> sessionScreens() {
    if (_XDisplay* display = qtX11Display()) {
        return connectedScreens(display);
    }
    std::vector<BuiltInDisplay::Screen> screens;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return screens;
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        screens.push_back({screen->name().toStdString(),
                           {},
                           area.x(),
                           area.y(),
                           area.width(),
                           area.height(),
                           screen->refreshRate()});
    }
    return screens;
}

} // namespace orvane
