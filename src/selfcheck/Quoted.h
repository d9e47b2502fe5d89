// SPDX-License-Identifier: MIT
// A text in double quotes, for the details of failing checks.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// Built by appending: the compiler warns falsely about a literal joined in front.
inline std::string quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    out += text;
    out += '"';
    return out;
}

} // namespace orvane
