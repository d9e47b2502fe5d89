// SPDX-License-Identifier: MIT
// A plain X client of the test's own on the test's Xvfb: windows of one
// colour, their map state and place, and pictures of the whole screen.
#pragma once

#include "support/XvfbDesktop.h"

#include <QImage>
#include <QRect>

#include <doctest/doctest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

namespace orvane::test {

class XClient {
public:
    XClient() : x(XOpenDisplay(nullptr)) {
        REQUIRE(x != nullptr);
        // A window asked about before the server made it is simply not mapped.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XClient() { XCloseDisplay(x); }
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    // A mapped window of one colour; override-redirect, so no manager moves it.
    Window window(QRect rect, unsigned long colour, long events = ButtonPressMask) {
        const Window w = XCreateSimpleWindow(x, DefaultRootWindow(x), rect.x(), rect.y(),
                                             static_cast<unsigned>(rect.width()),
                                             static_cast<unsigned>(rect.height()), 0, 0, colour);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        XChangeWindowAttributes(x, w, CWOverrideRedirect, &attributes);
        XSelectInput(x, w, events);
        XMapWindow(x, w);
        XSync(x, False);
        return w;
    }

    int mapState(unsigned long window) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(x, window, &attributes) == 0) {
            return IsUnmapped;
        }
        return attributes.map_state;
    }

    QRect rootRect(unsigned long window) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(x, window, &attributes);
        int left = 0;
        int top = 0;
        Window child = 0;
        XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &left, &top, &child);
        return {left, top, attributes.width, attributes.height};
    }

    QImage grab() {
        XWindowAttributes root{};
        XGetWindowAttributes(x, DefaultRootWindow(x), &root);
        XImage* shot = XGetImage(x, DefaultRootWindow(x), 0, 0, static_cast<unsigned>(root.width),
                                 static_cast<unsigned>(root.height), AllPlanes, ZPixmap);
        REQUIRE(shot != nullptr);
        QImage image(root.width, root.height, QImage::Format_RGB32);
        for (int row = 0; row < root.height; ++row) {
            for (int column = 0; column < root.width; ++column) {
                image.setPixel(column, row, static_cast<QRgb>(XGetPixel(shot, column, row)));
            }
        }
        XDestroyImage(shot);
        return image;
    }

    // The highest viewable child of the root.
    Window topWindow() {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count);
        Window top = 0;
        for (unsigned i = count; i-- > 0 && top == 0;) {
            if (mapState(children[i]) == IsViewable) {
                top = children[i];
            }
        }
        XFree(children);
        return top;
    }

    Display* x;
};

// A private Xvfb and the test's own client on it.
struct XDesktopClient : XvfbDesktop, XClient {
    explicit XDesktopClient(const std::string& screen) : XvfbDesktop(screen) {}
};

} // namespace orvane::test
