// SPDX-License-Identifier: MIT
#include "app/linux/TrayTone.h"

#include "platform/X11Errors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

namespace orvane {

namespace {

// Relative luminance of 8-bit or 16-bit channels scaled to 0..1.
double luminance(double red, double green, double blue) {
    return 0.2126 * red + 0.7152 * green + 0.0722 * blue;
}

BellowsIcon::PanelTone toneBehind(double panelLuminance) {
    return panelLuminance > 0.5 ? BellowsIcon::PanelTone::light : BellowsIcon::PanelTone::dark;
}

// The tray's foreground colour, 16 bits a channel: light text means a dark panel.
std::optional<double> announcedForeground(Display* display, Window tray) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, tray, XInternAtom(display, "_NET_SYSTEM_TRAY_COLORS", False), 0, 12,
                       False, XA_CARDINAL, &type, &format, &count, &after, &data);
    std::optional<double> found;
    if (data != nullptr && type == XA_CARDINAL && format == 32 && count >= 3) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        constexpr double full = 65535.0;
        found = luminance(static_cast<double>(values[0] & 0xffff) / full,
                          static_cast<double>(values[1] & 0xffff) / full,
                          static_cast<double>(values[2] & 0xffff) / full);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return found;
}

// The average of a few of the tray window's own pixels: the panel where no icon sits.
std::optional<double> panelPixels(Display* display, Window tray) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, tray, &attributes) == 0 ||
        attributes.map_state != IsViewable || attributes.width < 2 || attributes.height < 2) {
        return std::nullopt;
    }
    XImage* image = XGetImage(display, tray, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return std::nullopt;
    }
    double sum = 0;
    int samples = 0;
    // The corners and the edges' middles: icons sit in the middle.
    for (const int x : {0, attributes.width / 2, attributes.width - 1}) {
        for (const int y : {0, attributes.height - 1}) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const auto channel = [pixel](unsigned long mask) {
                return mask == 0 ? 0.0
                                 : static_cast<double>(pixel & mask) / static_cast<double>(mask);
            };
            sum += luminance(channel(image->red_mask), channel(image->green_mask),
                             channel(image->blue_mask));
            ++samples;
        }
    }
    XDestroyImage(image);
    return sum / samples;
}

} // namespace

std::optional<BellowsIcon::PanelTone> trayPanelTone(_XDisplay* display) {
    if (display == nullptr) {
        return std::nullopt;
    }
    const X11ErrorTrap trap;
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const Window tray = XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False));
    if (tray == None) {
        return std::nullopt;
    }
    if (const auto foreground = announcedForeground(display, tray)) {
        return *foreground > 0.5 ? BellowsIcon::PanelTone::dark : BellowsIcon::PanelTone::light;
    }
    if (const auto panel = panelPixels(display, tray)) {
        return toneBehind(*panel);
    }
    return std::nullopt;
}

} // namespace orvane
