// SPDX-License-Identifier: MIT
// The names Orvane goes by on the system.
#pragma once

#include <string_view>

namespace orvane::AppIdentity {

inline constexpr std::string_view name = "Orvane";
// Also the desktop-entry id and the prefix of throwaway settings suites.
inline constexpr std::string_view identifier = "app.orvane.Orvane";

} // namespace orvane::AppIdentity
