// SPDX-License-Identifier: MIT
#include "platform/SysfsFile.h"

#include <fstream>
#include <sstream>
#include <string_view>

namespace orvane::SysfsFile {

std::optional<std::string> text(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    // A device asleep may refuse the read after the open.
    if (in.bad()) {
        return std::nullopt;
    }
    const std::string value = content.str();
    constexpr std::string_view space = " \t\n\r\v\f";
    const std::size_t first = value.find_first_not_of(space);
    if (first == std::string::npos) {
        return std::string();
    }
    return value.substr(first, value.find_last_not_of(space) - first + 1);
}

} // namespace orvane::SysfsFile
