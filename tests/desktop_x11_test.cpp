// SPDX-License-Identifier: MIT
// The window in front on a private Xvfb: its app found from _GTK_APPLICATION_ID
// and from WM_CLASS, each switch told to the controller, and a blocked app in
// front holding the effect back; a hostile client's property and process files.
#include "capture/CaptureService.h"
#include "doubles/EffectRig.h"
#include "doubles/FakeCapture.h"
#include "doubles/FakeFoldDisplay.h"
#include "effect/EffectController.h"
#include "platform/LinuxSystem.h"
#include "platform/X11Desktop.h"
#include "settings/MemorySettingsStore.h"
#include "support/Doubles.h"
#include "support/EventLoop.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"

#include <doctest/doctest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

using namespace orvane;
using namespace orvane::test;

namespace {

struct Catalog final : AppCatalog {
    std::map<std::string, std::string> names{{"org.gnome.TextEditor", "Text Editor"},
                                             {"Zoom", "Zoom Workplace"}};
    std::optional<InstalledApp> installedApp(const std::string& id) const override {
        const auto it = names.find(id);
        return it == names.end() ? std::nullopt : std::optional(InstalledApp{it->second, {}});
    }
    std::vector<RunningApp> runningApps() const override { return {}; }
};

// Another client's windows, and the root's active-window property a window manager would set.
struct Client {
    Display* display;
    explicit Client(const std::string& name) : display(XOpenDisplay(name.c_str())) {
        REQUIRE(display != nullptr);
    }
    ~Client() { XCloseDisplay(display); }
    Window window() {
        const Window w =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
        XMapWindow(display, w);
        return w;
    }
    void text(Window w, const char* property, const char* value) {
        XChangeProperty(display, w, XInternAtom(display, property, False),
                        XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(value),
                        static_cast<int>(std::strlen(value)));
    }
    void activate(Window w) {
        XChangeProperty(display, DefaultRootWindow(display),
                        XInternAtom(display, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&w), 1);
        XFlush(display);
    }
};

// Facts for the controller: the front app from the desktop, the rest plain.
struct DesktopFacts final : SystemFacts {
    const X11Desktop* desktop = nullptr;
    std::optional<bool> onBattery() const override { return false; }
    ThermalState thermalState() const override { return ThermalState::nominal; }
    bool lowPowerMode() const override { return false; }
    bool reduceMotion() const override { return false; }
    std::optional<FrontmostApp> frontmostApp() const override { return desktop->frontmostApp(); }
};

bool spinUntil(const std::function<bool()>& condition) {
    return test::spinUntil(condition, 5.0);
}

} // namespace

TEST_CASE("the app in front follows the active window and a blocked one holds the effect back") {
    const XvfbServer server("640x480x24");
    setenv("DISPLAY", server.display().c_str(), 1);
    int argc = 1;
    char name[] = "orvane-test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    ManualScheduler scheduler;
    Notes notes;
    MemorySettingsStore store;
    FoldSettings onboarded;
    onboarded.setHasCompletedOnboarding(true);
    onboarded.save(store);
    FakeCaptureFactory factory(scheduler);
    CaptureService capture({factory, scheduler, scheduler.clock(), notes});
    FakeFoldDisplay display(capture);
    int clicks = 0;
    QuietPorts quiet(clicks);
    DesktopFacts facts;
    EffectController controller({store, display, quiet, quiet, quiet, quiet, quiet, scheduler,
                                 facts, notes, Clock{scheduler.clock(), scheduler.clock()}});
    Catalog catalog;
    X11Desktop desktop(controller, catalog);
    facts.desktop = &desktop;
    REQUIRE(desktop.start());
    controller.start();
    controller.sensorAvailabilityChanged(true);
    CHECK_FALSE(desktop.frontmostApp());

    Client client(server.display());
    const Window editor = client.window();
    client.text(editor, "_GTK_APPLICATION_ID", "org.gnome.TextEditor");
    const Window zoom = client.window();
    XClassHint hint{const_cast<char*>("zoom"), const_cast<char*>("Zoom")};
    XSetClassHint(client.display, zoom, &hint);

    // The window manager's list of windows names the running apps.
    const Window listed[] = {editor, zoom};
    XChangeProperty(client.display, DefaultRootWindow(client.display),
                    XInternAtom(client.display, "_NET_CLIENT_LIST", False), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(listed), 2);
    XSync(client.display, False);
    const std::vector<RunningApp> running = desktop.runningApps();
    REQUIRE(running.size() == 2);
    CHECK(running[0].appID == "org.gnome.TextEditor");
    CHECK(running[0].name == "Text Editor");
    CHECK(running[1].appID == "Zoom");

    client.activate(editor);
    REQUIRE(spinUntil([&] { return desktop.frontmostApp().has_value(); }));
    CHECK(desktop.frontmostApp()->appID == "org.gnome.TextEditor");
    CHECK(desktop.frontmostApp()->name == "Text Editor");
    CHECK(controller.availability().kind() != Availability::Kind::blockedApp);

    client.activate(zoom);
    REQUIRE(spinUntil([&] { return desktop.frontmostApp()->appID == "Zoom"; }));
    CHECK(controller.availability().presentation().tooltip ==
          "Orvane is paused while Zoom Workplace is in front.");

    client.activate(editor);
    REQUIRE(spinUntil([&] { return desktop.frontmostApp()->appID != "Zoom"; }));
    CHECK(controller.availability().kind() != Availability::Kind::blockedApp);
}

TEST_CASE(
    "the system's facts without D-Bus: defaults, the heat, the cached screen, the app in front") {
    const XvfbServer server("640x480x24");
    const TempDir runtime;
    const ScopedEnv display("DISPLAY", server.display());
    const ScopedEnv systemBus("DBUS_SYSTEM_BUS_ADDRESS",
                              "unix:path=" + (runtime.path() / "none").string());
    const ScopedEnv sessionBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    const ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.path().string());
    const auto zone = runtime.path() / "class/thermal/thermal_zone0";
    std::filesystem::create_directories(zone);
    std::ofstream(zone / "temp") << "99000\n";
    std::ofstream(zone / "trip_point_0_temp") << "95000\n";
    std::ofstream(zone / "trip_point_0_type") << "hot\n";
    int argc = 1;
    char name[] = "orvane-test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    HeardEvents heard;
    Catalog catalog;
    Notes notes;
    LinuxSystem system({heard, catalog, notes, runtime.path()});
    system.start();
    CHECK(notes.lines.size() == 1); // no D-Bus: said once
    CHECK_FALSE(system.onBattery());
    CHECK_FALSE(system.lowPowerMode());
    CHECK_FALSE(system.reduceMotion());
    CHECK(system.thermalState() == ThermalState::critical);

    Client client(server.display());
    const Window editor = client.window();
    client.text(editor, "_GTK_APPLICATION_ID", "org.gnome.TextEditor");
    client.activate(editor);
    REQUIRE(spinUntil([&] { return !heard.events.empty(); }));
    CHECK(heard.events == std::vector<std::string>{"front"});
    CHECK(system.frontmostApp()->name == "Text Editor");
}

TEST_CASE("a hostile client's active window and process files neither crash nor stall the lookup") {
    const XvfbServer server("640x480x24");
    const ScopedEnv display("DISPLAY", server.display());
    int argc = 1;
    char name[] = "orvane-test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    // The test's own windows belong to this process: its /proc is faked.
    const TempDir proc;
    const auto root = proc.path() / std::to_string(::getpid()) / "root";
    std::filesystem::create_directories(root);
    const auto flatpakInfo = root / ".flatpak-info";
    REQUIRE(::mkfifo(flatpakInfo.c_str(), 0600) == 0);

    HeardEvents heard;
    Catalog catalog;
    Client client(server.display());
    const char text[] = "abcd";
    XChangeProperty(client.display, DefaultRootWindow(client.display),
                    XInternAtom(client.display, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(text), 4);
    XSync(client.display, False);
    X11Desktop desktop(heard, catalog, proc.path());
    REQUIRE(desktop.start());
    CHECK_FALSE(desktop.frontmostApp());

    // A FIFO where the sandbox file would be: skipped, the class still names the app.
    const Window zoom = client.window();
    XClassHint hint{const_cast<char*>("zoom"), const_cast<char*>("Zoom")};
    XSetClassHint(client.display, zoom, &hint);
    client.activate(zoom);
    REQUIRE(spinUntil([&] { return desktop.frontmostApp().has_value(); }));
    CHECK(desktop.frontmostApp()->appID == "Zoom");

    // A link is not followed, even to a readable file; a plain file is read.
    std::filesystem::remove(flatpakInfo);
    const auto elsewhere = proc.path() / "info";
    std::ofstream(elsewhere) << "[Application]\nname=org.gnome.TextEditor\n";
    std::filesystem::create_symlink(elsewhere, flatpakInfo);
    const Window other = client.window();
    XClassHint otherHint{const_cast<char*>("gimp"), const_cast<char*>("Gimp")};
    XSetClassHint(client.display, other, &otherHint);
    client.activate(other);
    REQUIRE(spinUntil([&] { return desktop.frontmostApp()->appID != "Zoom"; }));
    CHECK(desktop.frontmostApp()->appID == "Gimp");
    std::filesystem::remove(flatpakInfo);
    std::filesystem::copy_file(elsewhere, flatpakInfo);
    client.activate(zoom);
    REQUIRE(spinUntil([&] { return desktop.frontmostApp()->appID == "org.gnome.TextEditor"; }));
    CHECK(desktop.frontmostApp()->name == "Text Editor");
}
