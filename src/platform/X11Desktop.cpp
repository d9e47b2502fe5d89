// SPDX-License-Identifier: MIT
#include "platform/X11Desktop.h"

#include "core/Tuning.h"
#include "platform/ForeignFile.h"
#include "platform/X11Errors.h"
#include "system/WindowApp.h"

#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/dpms.h>

namespace orvane {

X11Desktop::X11Desktop(SystemEventsListener& listener, const AppCatalog& catalog,
                       std::filesystem::path procRoot)
    : listener_(listener), catalog_(catalog), procRoot_(std::move(procRoot)) {}

X11Desktop::~X11Desktop() {
    delete notifier_;
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

bool X11Desktop::start() {
    if (display_ != nullptr) {
        return true;
    }
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        return false;
    }
    const X11ErrorTrap trap;
    const Window root = DefaultRootWindow(display_);
    XSelectInput(display_, root, PropertyChangeMask);
    int errorBase = 0;
    if (XRRQueryExtension(display_, &randrEventBase_, &errorBase) != 0) {
        XRRSelectInput(display_, root,
                       RRScreenChangeNotifyMask | RROutputChangeNotifyMask |
                           RRCrtcChangeNotifyMask);
    } else {
        randrEventBase_ = -1;
    }
    int dpmsEvent = 0;
    int dpmsError = 0;
    hasDPMS_ = DPMSQueryExtension(display_, &dpmsEvent, &dpmsError) != 0 && DPMSCapable(display_);
    int resEvent = 0;
    int resError = 0;
    hasXRes_ = XResQueryExtension(display_, &resEvent, &resError) != 0;
    XFlush(display_);
    notifier_ = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
    refreshFrontmost(false);
    pollScreenPower();
    return true;
}

void X11Desktop::readEvents() {
    const X11ErrorTrap trap;
    bool frontChanged = false;
    bool screensChanged = false;
    const Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == PropertyNotify && event.xproperty.atom == active) {
            frontChanged = true;
        } else if (randrEventBase_ >= 0 && (event.type == randrEventBase_ + RRScreenChangeNotify ||
                                            event.type == randrEventBase_ + RRNotify)) {
            XRRUpdateConfiguration(&event);
            screensChanged = true;
        }
    }
    // A burst of events is one change for the controller.
    if (screensChanged) {
        listener_.screenParametersChanged();
    }
    if (frontChanged) {
        refreshFrontmost(true);
    }
}

void X11Desktop::refreshFrontmost(bool announce) {
    // A window that vanishes while its properties are read is simply not in front.
    const X11ErrorTrap trap;
    std::optional<SystemFacts::FrontmostApp> now;
    const std::optional<unsigned long> window = activeWindow();
    if (window && *window != 0) {
        if (const std::optional<std::string> id = appOf(*window)) {
            const std::optional<InstalledApp> installed = catalog_.installedApp(*id);
            now = SystemFacts::FrontmostApp{*id, installed ? std::optional(installed->name)
                                                           : std::nullopt};
        }
    }
    const auto key = [](const std::optional<SystemFacts::FrontmostApp>& app) {
        return app ? std::optional(app->appID + '\n' + app->name.value_or("")) : std::nullopt;
    };
    const bool changed = key(now) != key(front_);
    front_ = std::move(now);
    if (changed && announce) {
        listener_.frontmostAppChanged();
    }
}

std::vector<RunningApp> X11Desktop::runningApps() const {
    std::vector<RunningApp> apps;
    if (display_ == nullptr) {
        return apps;
    }
    const X11ErrorTrap trap;
    std::vector<unsigned long> windows;
    readProperty(DefaultRootWindow(display_), "_NET_CLIENT_LIST", XA_WINDOW, 32,
                 [&windows](const unsigned char* data, unsigned long items) {
                     const auto* ids = reinterpret_cast<const unsigned long*>(data);
                     windows.assign(ids, ids + items);
                 });
    for (const unsigned long window : windows) {
        if (const std::optional<std::string> id = appOf(window)) {
            const std::optional<InstalledApp> installed = catalog_.installedApp(*id);
            apps.push_back({*id, installed ? std::optional(installed->name) : std::nullopt, true});
        }
    }
    return apps;
}

std::optional<std::string> X11Desktop::appOf(unsigned long window) const {
    WindowApp::Clues clues;
    clues.gtkApplicationID = windowProperty(window, "_GTK_APPLICATION_ID", "UTF8_STRING");
    clues.kdeDesktopFile = windowProperty(window, "_KDE_NET_WM_DESKTOP_FILE", "UTF8_STRING");
    if (const std::optional<int> pid = windowProcess(window)) {
        const auto process = procRoot_ / std::to_string(*pid);
        // The process may be anyone's: its cgroup file is the kernel's, but its root is a
        // folder it controls, where a read may hang.
        clues.cgroup = ForeignFile::read(process / "cgroup", Tuning::foreignFileBytes);
        clues.flatpakInfo =
            ForeignFile::readWithin(process / "root/.flatpak-info", Tuning::foreignFileBytes,
                                    Tuning::foreignFileDeadline, Tuning::foreignFileReaders);
    }
    XClassHint hint{};
    if (XGetClassHint(display_, window, &hint) != 0) {
        if (hint.res_class != nullptr) {
            clues.wmClass = hint.res_class;
        }
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    return WindowApp::desktopID(clues);
}

// Any client may set these properties, with any type and format: a value that
// is not what the name promises reads as absent.
std::optional<std::string> X11Desktop::windowProperty(unsigned long window, const char* name,
                                                      const char* type) const {
    std::optional<std::string> value;
    readProperty(window, name, XInternAtom(display_, type, False), 8,
                 [&value](const unsigned char* data, unsigned long items) {
                     value = std::string(reinterpret_cast<const char*>(data), items);
                 });
    return value;
}

std::optional<unsigned long> X11Desktop::activeWindow() const {
    std::optional<unsigned long> window;
    readProperty(DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW", XA_WINDOW, 32,
                 [&window](const unsigned char* data, unsigned long) {
                     // Xlib hands 32-bit items as longs.
                     window = *reinterpret_cast<const unsigned long*>(data);
                 });
    return window;
}

void X11Desktop::readProperty(
    unsigned long window, const char* name, unsigned long type, int format,
    const std::function<void(const unsigned char*, unsigned long)>& take) const {
    Atom actual = None;
    int actualFormat = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0,
                                          Tuning::windowPropertyLongs, False, type, &actual,
                                          &actualFormat, &items, &after, &data);
    if (status == Success && data != nullptr && actual == type && actualFormat == format &&
        items > 0) {
        take(data, items);
    }
    if (data != nullptr) {
        XFree(data);
    }
}

// The process of the window's client, from the server (a sandbox cannot fake it).
std::optional<int> X11Desktop::windowProcess(unsigned long window) const {
    if (!hasXRes_) {
        return std::nullopt;
    }
    XResClientIdSpec client{window, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* values = nullptr;
    if (XResQueryClientIds(display_, 1, &client, &count, &values) != Success) {
        return std::nullopt;
    }
    std::optional<int> pid;
    for (long i = 0; i < count; ++i) {
        const pid_t found = XResGetClientPid(&values[i]);
        if (found > 0) {
            pid = found;
        }
    }
    XResClientIdsDestroy(count, values);
    return pid;
}

void X11Desktop::pollScreenPower() {
    if (display_ == nullptr || !hasDPMS_) {
        return;
    }
    const X11ErrorTrap trap;
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    if (DPMSInfo(display_, &level, &enabled) == 0) {
        return;
    }
    const bool asleep = enabled && level != DPMSModeOn;
    if (asleep != screensAsleep_) {
        screensAsleep_ = asleep;
        listener_.screensSlept(asleep);
    }
}

} // namespace orvane
