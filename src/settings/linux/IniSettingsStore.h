// SPDX-License-Identifier: MIT
// The user's settings as an INI file under the XDG config directory. Values
// are stored as text and read back strictly, so a hand-edited or damaged
// value reads as absent and only that key falls back to its default.
#pragma once

#include "settings/MemorySettingsStore.h"
#include "settings/SettingsStore.h"

#include <memory>
#include <optional>
#include <string>

class QSettings;

namespace orvane {

class IniSettingsStore final : public SettingsStore {
public:
    explicit IniSettingsStore(const std::string& path);
    ~IniSettingsStore() override;
    IniSettingsStore(const IniSettingsStore&) = delete;
    IniSettingsStore& operator=(const IniSettingsStore&) = delete;

    // $XDG_CONFIG_HOME/orvane/settings.ini (or ~/.config/...).
    static std::string defaultPath();

    const std::string& path() const { return path_; }
    // Why the file is not used at all (it is not a regular file); the settings
    // then live in memory for this run, as do writes whose commit was refused.
    std::optional<StoreStatus> problem() const { return refused_; }

    bool contains(std::string_view key) const override;
    std::optional<double> readDouble(std::string_view key) const override;
    std::optional<bool> readBool(std::string_view key) const override;
    std::optional<std::string> readString(std::string_view key) const override;
    std::optional<std::vector<std::string>> readStringList(std::string_view key) const override;

    void writeDouble(std::string_view key, double value) override;
    void writeBool(std::string_view key, bool value) override;
    void writeString(std::string_view key, std::string_view value) override;
    void writeStringList(std::string_view key, const std::vector<std::string>& value) override;

    // Replaces the file in one rename: a crash or a full disk leaves the old file whole.
    StoreStatus commit() override;

private:
    bool staged(std::string_view key) const;
    void apply(const std::string& key, const MemorySettingsStore::Value& value);

    std::string path_;
    std::unique_ptr<QSettings> settings_;
    std::optional<StoreStatus> refused_;
    MemorySettingsStore pending_;
};

} // namespace orvane
