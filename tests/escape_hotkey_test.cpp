// SPDX-License-Identifier: MIT
// The global Escape key on a private Xvfb, pressed through XTEST as a keyboard
// would, with a plain X client of the test's own as the other program.
#include "app/linux/EscapeHotkey.h"
#include "support/Doubles.h"
#include "support/EventLoop.h"

#include <doctest/doctest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <functional>
#include <string>

// Xlib after Qt: its macros clash with Qt's names.
#include "support/XClient.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace orvane;

namespace {

constexpr int waitMs = 3000;
// Long enough for a second, wrong call to arrive.
constexpr int settleMs = 300;

bool spinUntil(const std::function<bool()>& done, int ms) {
    return test::spinUntil(done, ms / 1000.0);
}

void xdotool(const std::string& keys) {
    REQUIRE(std::system(("xdotool " + keys).c_str()) == 0);
}

// Qt on a private Xvfb, and the test's own client there as another program.
struct Desk : test::XDesktopClient {
    int argc = 1;
    char name[16] = "orvane_escape";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
    test::Notes log;
    EscapeHotkey escape{app.nativeInterface<QNativeInterface::QX11Application>()->display(), log};
    int calls = 0;

    Desk() : XDesktopClient("320x240x24") {
        escape.onEscape = [this] { ++calls; };
    }

    // What a program grabbing the key sees: false on BadAccess.
    bool otherGrabs(unsigned modifiers = 0) {
        static bool refused = false;
        refused = false;
        const auto previous = XSetErrorHandler([](Display*, XErrorEvent* error) {
            refused = refused || error->error_code == BadAccess;
            return 0;
        });
        XGrabKey(x, XKeysymToKeycode(x, XK_Escape), modifiers, DefaultRootWindow(x), False,
                 GrabModeAsync, GrabModeAsync);
        XSync(x, False);
        XSetErrorHandler(previous);
        return !refused;
    }
};

} // namespace

TEST_CASE("Escape reaches the program once per press while registered, then the focused window") {
    Desk desk;
    desk.escape.registerKey();
    desk.escape.registerKey();
    REQUIRE(desk.escape.registered());
    xdotool("key Escape");
    CHECK(spinUntil([&] { return desk.calls > 0; }, waitMs));
    spinUntil([] { return false; }, settleMs);
    CHECK(desk.calls == 1);
    // Held past the repeat delay, and with NumLock on: still one press each.
    xdotool("keydown Escape sleep 1 keyup Escape key Num_Lock key Escape key Num_Lock");
    CHECK(spinUntil([&] { return desk.calls >= 3; }, waitMs));

    // One unregister undoes two registers.
    desk.escape.unregisterKey();
    CHECK_FALSE(desk.escape.registered());
    REQUIRE(desk.otherGrabs());
    Display* other = desk.x;
    XUngrabKey(other, AnyKey, AnyModifier, DefaultRootWindow(other));
    desk.escape.unregisterKey();
    const Window window = desk.window({0, 0, 100, 100}, 0, KeyPressMask);
    XSetInputFocus(other, window, RevertToParent, CurrentTime);
    XSync(other, False);
    xdotool("key Escape");
    XEvent event{};
    CHECK(spinUntil([&] { return XCheckTypedWindowEvent(other, window, KeyPress, &event) != 0; },
                    waitMs));
    CHECK(event.xkey.keycode == XKeysymToKeycode(other, XK_Escape));
    spinUntil([] { return false; }, settleMs);
    CHECK(desk.calls == 3);
}

TEST_CASE("a key another program holds is noted once and leaves Escape unregistered") {
    Desk desk;
    REQUIRE(desk.otherGrabs());
    desk.escape.registerKey();
    CHECK_FALSE(desk.escape.registered());
    desk.escape.registerKey();
    CHECK_FALSE(desk.escape.registered());
    REQUIRE(desk.log.lines.size() == 1);
    CHECK(desk.log.lines[0].rfind("escape: ", 0) == 0);
    // The variants that did succeed are given back.
    CHECK(desk.otherGrabs(LockMask));
}
