// SPDX-License-Identifier: MIT
// The desktop-entry id of a window's app from each kind of clue, best first.
#include "system/WindowApp.h"

#include <doctest/doctest.h>

using namespace orvane;

TEST_CASE("a launcher's scope or service names the app's desktop entry") {
    CHECK(WindowApp::fromCgroup("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                "app-gnome-org.gnome.Nautilus-4182.scope\n") ==
          "org.gnome.Nautilus");
    CHECK(WindowApp::fromCgroup("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                "app-flatpak-us.zoom.Zoom-77.scope") == "us.zoom.Zoom");
    CHECK(WindowApp::fromCgroup("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                "app-libreoffice\\x2dimpress@9a1.service") ==
          "libreoffice-impress");
    CHECK(WindowApp::fromCgroup("0::/app.slice/app-firefox-12.scope\n") == "firefox");
    // Older systems list one line a controller; the unit is the same.
    CHECK(WindowApp::fromCgroup("12:pids:/user.slice\n1:name=systemd:/user.slice/"
                                "app-kde-org.kde.konsole-5.scope\n") == "org.kde.konsole");
    CHECK_FALSE(WindowApp::fromCgroup("0::/user.slice/user-1000.slice/session-2.scope"));
    CHECK_FALSE(WindowApp::fromCgroup(""));
}

TEST_CASE("a Flatpak's info names its app") {
    CHECK(WindowApp::fromFlatpakInfo("[Application]\nname=org.libreoffice.LibreOffice\n"
                                     "runtime=runtime/org.freedesktop.Platform\n") ==
          "org.libreoffice.LibreOffice");
    CHECK_FALSE(WindowApp::fromFlatpakInfo("[Instance]\nname=x\n"));
}

TEST_CASE("the best clue names the app") {
    WindowApp::Clues clues;
    clues.wmClass = "Zoom";
    CHECK(WindowApp::desktopID(clues) == "Zoom");
    clues.flatpakInfo = "[Application]\nname=us.zoom.Zoom\n";
    CHECK(WindowApp::desktopID(clues) == "us.zoom.Zoom");
    clues.cgroup = "0::/app.slice/app-gnome-teams\\x2dfor\\x2dlinux-3.scope";
    CHECK(WindowApp::desktopID(clues) == "teams-for-linux");
    clues.kdeDesktopFile = "org.kde.okular";
    CHECK(WindowApp::desktopID(clues) == "org.kde.okular");
    clues.gtkApplicationID = " org.gnome.TextEditor.desktop\n";
    CHECK(WindowApp::desktopID(clues) == "org.gnome.TextEditor");
    clues = {};
    clues.gtkApplicationID = "";
    CHECK_FALSE(WindowApp::desktopID(clues));
}
