// SPDX-License-Identifier: MIT
#include "settings/linux/XdgAutostart.h"

#include "core/AppIdentity.h"
#include "platform/OutputFile.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace orvane {

namespace fs = std::filesystem;

namespace {

// The Exec key's rules: field codes start with %, reserved characters need
// quotes, and quoting escapes are themselves escaped as a string value.
std::string execArgument(const std::string& path) {
    const bool needsQuotes = path.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
    std::string out = needsQuotes ? "\"" : "";
    for (char c : path) {
        if (c == '%') {
            out += "%%";
        } else if (c == '\n' || c == '\r') {
            out += c == '\n' ? "\\n" : "\\r"; // a raw line break would start a new key
        } else if (needsQuotes && c == '\\') {
            out += "\\\\\\\\";
        } else if (needsQuotes && (c == '"' || c == '`' || c == '$')) {
            out += "\\\\";
            out += c;
        } else {
            out += c;
        }
    }
    return needsQuotes ? out + "\"" : out;
}

bool disabledByEntry(const fs::path& entry) {
    std::ifstream in(entry);
    std::string line;
    while (std::getline(in, line)) {
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") {
            return true;
        }
    }
    return false;
}

} // namespace

XdgAutostart::XdgAutostart(fs::path configHome, fs::path executable)
    : configHome_(std::move(configHome)), executable_(std::move(executable)) {}

XdgAutostart XdgAutostart::fromEnvironment(fs::path executable) {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        return XdgAutostart(xdg, std::move(executable));
    }
    if (const char* home = std::getenv("HOME"); home && *home == '/') {
        return XdgAutostart(fs::path(home) / ".config", std::move(executable));
    }
    return XdgAutostart({}, std::move(executable));
}

fs::path XdgAutostart::entryPath() const {
    if (configHome_.empty()) {
        return {};
    }
    return configHome_ / "autostart" / (std::string(AppIdentity::identifier) + ".desktop");
}

LoginItemStatus XdgAutostart::status() const {
    if (executable_.empty() || configHome_.empty()) {
        return LoginItemStatus::notFound;
    }
    std::error_code error;
    if (!fs::is_regular_file(entryPath(), error) || disabledByEntry(entryPath())) {
        return LoginItemStatus::notRegistered;
    }
    return LoginItemStatus::enabled;
}

std::optional<LoginItemError> XdgAutostart::setEnabled(bool on) {
    if (configHome_.empty()) {
        return LoginItemError::noConfigFolder;
    }
    const fs::path entry = entryPath();
    std::error_code error;
    if (!on) {
        fs::remove(entry, error);
        return error ? std::optional(LoginItemError::cannotRemove) : std::nullopt;
    }
    fs::create_directories(entry.parent_path(), error);
    if (error) {
        return LoginItemError::cannotCreateFolder;
    }
    std::ostringstream text;
    text << "[Desktop Entry]\n"
         << "Type=Application\n"
         << "Name=" << AppIdentity::name << "\n"
         << "Exec=" << execArgument(executable_.string()) << "\n";
    // Once the program is removed, the session skips the entry instead of failing to start it.
    if (executable_.string().find('\n') == std::string::npos) {
        std::string path = executable_.string();
        for (std::size_t at = path.find('\\'); at != std::string::npos;
             at = path.find('\\', at + 2)) {
            path.insert(at, 1, '\\');
        }
        text << "TryExec=" << path << "\n";
    }
    text << "X-GNOME-Autostart-enabled=true\n";
    // Written beside the entry and renamed over it, so a session manager never
    // reads half a file.
    auto file = OutputFile::create(entry);
    if (!file || file.value().write(text.str()) || file.value().commit()) {
        return LoginItemError::cannotWrite;
    }
    return std::nullopt;
}

} // namespace orvane
