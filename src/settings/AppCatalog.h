// SPDX-License-Identifier: MIT
// The applications the system knows of, named and drawn as the user knows them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane {

struct InstalledApp {
    std::string name;
    std::optional<std::string> icon; // an icon name or file the shell can draw
};

struct RunningApp {
    std::string appID; // empty when the app has none
    std::optional<std::string> name;
    bool regular = true; // a windowed app, not a background helper
};

class AppCatalog {
public:
    virtual ~AppCatalog() = default;
    virtual std::optional<InstalledApp> installedApp(const std::string& appID) const = 0;
    virtual std::vector<RunningApp> runningApps() const = 0;
};

} // namespace orvane
