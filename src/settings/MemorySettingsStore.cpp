// SPDX-License-Identifier: MIT
#include "settings/MemorySettingsStore.h"

namespace orvane {

template <class T>
std::optional<T> MemorySettingsStore::read(std::string_view key) const {
    const auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    if (const T* value = std::get_if<T>(&found->second)) {
        return *value;
    }
    return std::nullopt;
}

bool MemorySettingsStore::contains(std::string_view key) const {
    return values_.find(key) != values_.end();
}

std::optional<double> MemorySettingsStore::readDouble(std::string_view key) const {
    return read<double>(key);
}

std::optional<bool> MemorySettingsStore::readBool(std::string_view key) const {
    return read<bool>(key);
}

std::optional<std::string> MemorySettingsStore::readString(std::string_view key) const {
    return read<std::string>(key);
}

std::optional<std::vector<std::string>>
MemorySettingsStore::readStringList(std::string_view key) const {
    return read<std::vector<std::string>>(key);
}

void MemorySettingsStore::writeDouble(std::string_view key, double value) {
    put(key, value);
}

void MemorySettingsStore::writeBool(std::string_view key, bool value) {
    put(key, value);
}

void MemorySettingsStore::writeString(std::string_view key, std::string_view value) {
    put(key, std::string(value));
}

void MemorySettingsStore::writeStringList(std::string_view key,
                                          const std::vector<std::string>& value) {
    put(key, value);
}

void MemorySettingsStore::put(std::string_view key, Value value) {
    values_.insert_or_assign(std::string(key), std::move(value));
}

} // namespace orvane
