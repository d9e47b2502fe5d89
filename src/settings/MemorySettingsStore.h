// SPDX-License-Identifier: MIT
// A store that lives only in memory: throwaway suites, tools and the self-check.
#pragma once

#include "settings/SettingsStore.h"

#include <functional>
#include <map>
#include <variant>

namespace orvane {

class MemorySettingsStore final : public SettingsStore {
public:
    using Value = std::variant<bool, double, std::string, std::vector<std::string>>;

    bool contains(std::string_view key) const override;
    std::optional<double> readDouble(std::string_view key) const override;
    std::optional<bool> readBool(std::string_view key) const override;
    std::optional<std::string> readString(std::string_view key) const override;
    std::optional<std::vector<std::string>> readStringList(std::string_view key) const override;

    void writeDouble(std::string_view key, double value) override;
    void writeBool(std::string_view key, bool value) override;
    void writeString(std::string_view key, std::string_view value) override;
    void writeStringList(std::string_view key, const std::vector<std::string>& value) override;
    StoreStatus commit() override {
        ++commits;
        return commitStatus;
    }

    // Puts any value under a key, whatever its type: lets a caller stage a damaged store.
    void put(std::string_view key, Value value);
    const std::map<std::string, Value, std::less<>>& values() const { return values_; }
    // What every commit answers: lets a caller stage a failing disk.
    StoreStatus commitStatus = StoreStatus::ok;
    int commits = 0;

private:
    template <class T>
    std::optional<T> read(std::string_view key) const;

    std::map<std::string, Value, std::less<>> values_;
};

} // namespace orvane
