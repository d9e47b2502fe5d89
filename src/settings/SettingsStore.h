// SPDX-License-Identifier: MIT
// A key-value store for the settings. Reads are typed: a value stored under
// the wrong type reads as absent, so one damaged key never spoils the others.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

enum class StoreStatus { ok, accessDenied, formatError, writeFailed, notAFile, lockBlocked };

std::string_view describe(StoreStatus status);

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual bool contains(std::string_view key) const = 0;
    virtual std::optional<double> readDouble(std::string_view key) const = 0;
    virtual std::optional<bool> readBool(std::string_view key) const = 0;
    virtual std::optional<std::string> readString(std::string_view key) const = 0;
    virtual std::optional<std::vector<std::string>> readStringList(std::string_view key) const = 0;

    virtual void writeDouble(std::string_view key, double value) = 0;
    virtual void writeBool(std::string_view key, bool value) = 0;
    virtual void writeString(std::string_view key, std::string_view value) = 0;
    virtual void writeStringList(std::string_view key, const std::vector<std::string>& value) = 0;

    // Makes the writes so far durable, all or nothing.
    virtual StoreStatus commit() = 0;
};

} // namespace orvane
