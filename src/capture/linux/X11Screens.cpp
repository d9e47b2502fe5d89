// SPDX-License-Identifier: MIT
#include "capture/linux/X11Screens.h"

#include "platform/X11Errors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace orvane {

namespace {

// The ConnectorType output property is one atom ("Panel", "DisplayPort", ...).
std::string connectorType(Display* display, RROutput output) {
    const Atom property = XInternAtom(display, "ConnectorType", True);
    if (property == None) {
        return {};
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XRRGetOutputProperty(display, output, property, 0, 1, False, False,
                                            AnyPropertyType, &type, &format, &count, &after, &data);
    std::string name;
    if (status == Success && type == XA_ATOM && format == 32 && count == 1 && data != nullptr) {
        const Atom value = *reinterpret_cast<const long*>(data);
        if (char* text = XGetAtomName(display, value)) {
            name = text;
            XFree(text);
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return name;
}

// Hertz from the mode's timings; 0 when the server gives none (Xvfb).
double refreshRate(const XRRScreenResources& resources, RRMode id) {
    for (int i = 0; i < resources.nmode; ++i) {
        const XRRModeInfo& mode = resources.modes[i];
        if (mode.id != id || mode.hTotal == 0 || mode.vTotal == 0) {
            continue;
        }
        double lines = mode.vTotal;
        if ((mode.modeFlags & RR_DoubleScan) != 0) {
            lines *= 2;
        }
        if ((mode.modeFlags & RR_Interlace) != 0) {
            lines /= 2;
        }
        return static_cast<double>(mode.dotClock) / (mode.hTotal * lines);
    }
    return 0;
}

} // namespace

std::vector<BuiltInDisplay::Screen> connectedScreens(_XDisplay* display) {
    std::vector<BuiltInDisplay::Screen> screens;
    int eventBase = 0;
    int errorBase = 0;
    if (display == nullptr || !XRRQueryExtension(display, &eventBase, &errorBase)) {
        return screens;
    }
    const X11ErrorTrap trap;
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) {
        return screens;
    }
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (output == nullptr) {
            continue;
        }
        if (output->connection == RR_Connected && output->crtc != None) {
            if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc)) {
                screens.push_back(
                    {std::string(output->name, static_cast<std::size_t>(output->nameLen)),
                     connectorType(display, resources->outputs[i]), crtc->x, crtc->y,
                     static_cast<int>(crtc->width), static_cast<int>(crtc->height),
                     refreshRate(*resources, crtc->mode)});
                XRRFreeCrtcInfo(crtc);
            }
        }
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    return screens;
}

} // namespace orvane
