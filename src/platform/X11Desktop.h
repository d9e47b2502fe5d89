// SPDX-License-Identifier: MIT
// What the X server tells about the desktop: the window in front and the app
// it belongs to, the screens changing, and the screens' power state. Its own
// connection, read on the main thread as events arrive.
#pragma once

#include "settings/AppCatalog.h"
#include "system/SystemFacts.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;
struct _XDisplay;

namespace orvane {

class X11Desktop final : public QObject {
public:
    // `procRoot` is where process information is read (/proc).
    X11Desktop(SystemEventsListener& listener, const AppCatalog& catalog,
               std::filesystem::path procRoot = "/proc");
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // Connects to the display named by DISPLAY; false without one (then every fact stays empty).
    bool start();
    std::optional<SystemFacts::FrontmostApp> frontmostApp() const { return front_; }
    // The apps of the windows the window manager lists, as they are now.
    std::vector<RunningApp> runningApps() const;
    // Screens asleep by DPMS. The server sends no event for it, so the owner polls.
    void pollScreenPower();
    bool screensAsleep() const { return screensAsleep_; }

private:
    void readEvents();
    void refreshFrontmost(bool announce);
    std::optional<std::string> windowProperty(unsigned long window, const char* name,
                                              const char* type) const;
    std::optional<unsigned long> activeWindow() const;
    std::optional<std::string> appOf(unsigned long window) const;
    void readProperty(unsigned long window, const char* name, unsigned long type, int format,
                      const std::function<void(const unsigned char*, unsigned long)>& take) const;
    std::optional<int> windowProcess(unsigned long window) const;

    SystemEventsListener& listener_;
    const AppCatalog& catalog_;
    std::filesystem::path procRoot_;
    _XDisplay* display_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    int randrEventBase_ = -1;
    bool hasDPMS_ = false;
    bool hasXRes_ = false;
    std::optional<SystemFacts::FrontmostApp> front_;
    bool screensAsleep_ = false;
};

} // namespace orvane
