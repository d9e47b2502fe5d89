// SPDX-License-Identifier: MIT
// openbox managing the private Xvfb named by DISPLAY: frames, stacking layers and
// focus as a real desktop has them. Ready once it names itself on the root window.
#pragma once

#include "support/EventLoop.h"
#include "support/PrivateBuses.h"
#include "support/XClient.h" // doctest before Xlib's macros

#include <X11/Xatom.h>

#include <filesystem>
#include <stdexcept>

namespace orvane::test {

class Openbox {
public:
    explicit Openbox(const std::filesystem::path& logFolder)
        : process_({"openbox", "--sm-disable"}, logFolder / "openbox.log") {
        Display* x = XOpenDisplay(nullptr);
        const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", False);
        const bool ready = spinUntil(
            [&] {
                Atom type = None;
                int format = 0;
                unsigned long count = 0;
                unsigned long after = 0;
                unsigned char* data = nullptr;
                XGetWindowProperty(x, DefaultRootWindow(x), check, 0, 1, False, XA_WINDOW, &type,
                                   &format, &count, &after, &data);
                if (data != nullptr) {
                    XFree(data);
                }
                return count == 1;
            },
            10.0);
        XCloseDisplay(x);
        if (!ready) {
            throw std::runtime_error("openbox did not start (is it installed?)");
        }
    }

private:
    ChildProcess process_;
};

} // namespace orvane::test
