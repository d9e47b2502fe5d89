// SPDX-License-Identifier: MIT
#include "settings/linux/DesktopEntryCatalog.h"

#include "core/Text.h"
#include "settings/DesktopEntry.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace orvane {

namespace fs = std::filesystem;

namespace {

// Entries are small; anything larger is not one.
constexpr std::uintmax_t maxEntryBytes = 1 << 20;

std::optional<DesktopEntry> readEntry(const fs::path& file,
                                      const std::vector<std::string>& locales) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > maxEntryBytes) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return parseDesktopEntry(text, locales);
}

std::optional<InstalledApp> installed(const std::optional<DesktopEntry>& entry) {
    if (!entry || entry->hidden) {
        return std::nullopt;
    }
    return InstalledApp{entry->name, entry->icon};
}

// An app id may name a file in a subfolder: "kde-foo" is kde/foo.desktop.
std::vector<fs::path> candidateFiles(const fs::path& folder, const std::string& appID) {
    std::vector<fs::path> files{folder / (appID + ".desktop")};
    for (std::size_t dash = appID.find('-'); dash != std::string::npos;
         dash = appID.find('-', dash + 1)) {
        std::string nested = appID;
        nested[dash] = '/';
        files.push_back(folder / (nested + ".desktop"));
    }
    return files;
}

std::vector<fs::path> splitPaths(const char* list, const char* fallback) {
    const std::string text = list && *list ? list : fallback;
    std::vector<fs::path> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(':', start), text.size());
        const std::string item = text.substr(start, end - start);
        if (!item.empty() && item.front() == '/') {
            out.emplace_back(item);
        }
        start = end + 1;
    }
    return out;
}

} // namespace

DesktopEntryCatalog::DesktopEntryCatalog(std::vector<fs::path> applicationFolders,
                                         std::vector<std::string> locales,
                                         RunningAppsSource running)
    : folders_(std::move(applicationFolders)), locales_(std::move(locales)),
      running_(std::move(running)) {}

DesktopEntryCatalog DesktopEntryCatalog::fromEnvironment(RunningAppsSource running) {
    std::vector<fs::path> folders;
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome == '/') {
        folders.emplace_back(fs::path(dataHome) / "applications");
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        folders.emplace_back(fs::path(home) / ".local/share/applications");
    }
    for (const fs::path& dir :
         splitPaths(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share")) {
        folders.push_back(dir / "applications");
    }
    std::string locale;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(variable); value && *value) {
            locale = value;
            break;
        }
    }
    return DesktopEntryCatalog(std::move(folders), localeCandidates(locale), std::move(running));
}

std::optional<InstalledApp> DesktopEntryCatalog::installedApp(const std::string& appID) const {
    // Ids come from the blocklist, which a user may edit: never let one leave the folder.
    if (appID.empty() || appID.find('/') != std::string::npos || appID.front() == '.') {
        return std::nullopt;
    }
    for (const fs::path& folder : folders_) {
        for (const fs::path& file : candidateFiles(folder, appID)) {
            std::error_code error;
            if (fs::is_regular_file(file, error)) {
                // A hidden entry hides the same id in later folders too.
                return installed(readEntry(file, locales_));
            }
        }
    }
    // Apps known only by their window class name the entry that claims it.
    const std::string wanted = asciiLowercased(appID);
    for (const fs::path& folder : folders_) {
        std::error_code error;
        for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (it->path().extension() != ".desktop") {
                continue;
            }
            const std::optional<DesktopEntry> entry = readEntry(it->path(), locales_);
            if (entry && entry->startupWMClass &&
                asciiLowercased(*entry->startupWMClass) == wanted) {
                return installed(entry);
            }
        }
    }
    return std::nullopt;
}

std::vector<RunningApp> DesktopEntryCatalog::runningApps() const {
    return running_ ? running_() : std::vector<RunningApp>{};
}

} // namespace orvane
