// SPDX-License-Identifier: MIT
// The desktop-entry id of the app that owns a window, from the clues X11 and
// the window's process give, best first.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane::WindowApp {

struct Clues {
    std::optional<std::string> gtkApplicationID; // _GTK_APPLICATION_ID
    std::optional<std::string> kdeDesktopFile;   // _KDE_NET_WM_DESKTOP_FILE
    std::optional<std::string> cgroup;           // /proc/PID/cgroup
    std::optional<std::string> flatpakInfo;      // /proc/PID/root/.flatpak-info
    std::optional<std::string> wmClass;          // WM_CLASS's class part
};

// The id a launcher's scope or service carries ("app-gnome-org.gnome.Nautilus-1234.scope").
std::optional<std::string> fromCgroup(std::string_view cgroup);
// The [Application] name of a Flatpak's info file.
std::optional<std::string> fromFlatpakInfo(std::string_view info);
// The first clue that names an app; none when none does.
std::optional<std::string> desktopID(const Clues& clues);

} // namespace orvane::WindowApp
