// SPDX-License-Identifier: MIT
// Any settings file, hand-edited or damaged, loads into settings within their
// ranges, quickly, and what is loaded survives a save and a load unchanged.
#include "settings/Blocklist.h"
#include "settings/FoldSettings.h"
#include "settings/linux/IniSettingsStore.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace {

using namespace orvane;

constexpr std::string_view keys[] = {
    SettingsKey::style,
    SettingsKey::perspective,
    SettingsKey::blur,
    SettingsKey::shadow,
    SettingsKey::clearAngle,
    SettingsKey::coverMode,
    SettingsKey::paused,
    SettingsKey::soundOnClear,
    SettingsKey::clearVolume,
    SettingsKey::hapticOnClear,
    SettingsKey::pauseInLowPower,
    SettingsKey::showAngleInMenuBar,
    SettingsKey::accordion,
    SettingsKey::accordionVolume,
    SettingsKey::hasCompletedOnboarding,
    SettingsKey::builtInScreen,
    "blocklist\\size",
    "blocklist\\1\\id",
    "blocklist\\2\\id",
};

// A private folder for the files of every run, removed at exit.
struct Folder {
    std::filesystem::path path;
    Folder() {
        // Saves sync to disk; in a memory-backed folder that costs nothing.
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = base / "orvane-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::filesystem::path& folder() {
    static const Folder made;
    return made.path;
}

// Lines whose first byte picks a known key steer the input toward every
// typed read; an odd first byte of the input takes the bytes as the whole file.
std::string settingsFile(std::string_view input) {
    if (input.empty() || input.front() % 2 == 1) {
        return std::string(input.empty() ? input : input.substr(1));
    }
    std::string file = "[General]\n";
    input.remove_prefix(1);
    while (!input.empty()) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        const std::string_view line = input.substr(0, end);
        input.remove_prefix(std::min(end + 1, input.size()));
        if (line.empty()) {
            continue;
        }
        const auto pick = static_cast<unsigned char>(line.front());
        file +=
            std::string(keys[pick % std::size(keys)]) + "=" + std::string(line.substr(1)) + "\n";
    }
    return file;
}

bool within(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

bool sane(const FoldSettings& s) {
    return within(s.perspective, 0, 1) && within(s.blur, 0, 1) && within(s.shadow, 0, 1) &&
           within(s.clearVolume, 0, 1) && within(s.accordionVolume, 0, 1) &&
           within(s.clearAngle, Tuning::minClearAngle, Tuning::maxClearAngle) && !s.previewAngle &&
           s.blocklist == Blocklist::normalized(s.blocklist);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path in = folder() / "in.ini";
    const std::filesystem::path out = folder() / "out.ini";
    std::filesystem::remove(out);
    std::ofstream(in, std::ios::binary | std::ios::trunc) << settingsFile(input);

    const FoldSettings loaded = FoldSettings::load(IniSettingsStore(in.string()));
    if (!sane(loaded)) {
        std::abort();
    }
    {
        IniSettingsStore store(out.string());
        if (loaded.save(store) != StoreStatus::ok) {
            std::abort();
        }
    }
    if (FoldSettings::load(IniSettingsStore(out.string())) != loaded) {
        std::abort();
    }
    return 0;
}
