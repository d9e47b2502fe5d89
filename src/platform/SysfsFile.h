// SPDX-License-Identifier: MIT
// Reading one value from a sysfs (or /proc) file: its text without the
// surrounding white space, or none when it cannot be read.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvane::SysfsFile {

std::optional<std::string> text(const std::filesystem::path& file);

} // namespace orvane::SysfsFile
