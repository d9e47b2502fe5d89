// SPDX-License-Identifier: MIT
// Small text helpers for identifiers and stored names, which are ASCII.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

inline std::string asciiLowercased(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

} // namespace orvane
