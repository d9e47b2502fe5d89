// SPDX-License-Identifier: MIT
// Installed applications from the desktop entries in the XDG data folders.
#pragma once

#include "settings/AppCatalog.h"

#include <filesystem>
#include <functional>

namespace orvane {

class DesktopEntryCatalog final : public AppCatalog {
public:
    using RunningAppsSource = std::function<std::vector<RunningApp>()>;

    // Folders are searched in order, the first holding an entry wins.
    DesktopEntryCatalog(std::vector<std::filesystem::path> applicationFolders,
                        std::vector<std::string> locales, RunningAppsSource running = {});
    // $XDG_DATA_HOME and $XDG_DATA_DIRS (with their defaults), and the
    // message locale from the environment.
    static DesktopEntryCatalog fromEnvironment(RunningAppsSource running = {});

    std::optional<InstalledApp> installedApp(const std::string& appID) const override;
    std::vector<RunningApp> runningApps() const override;

private:
    std::vector<std::filesystem::path> folders_;
    std::vector<std::string> locales_;
    RunningAppsSource running_;
};

} // namespace orvane
