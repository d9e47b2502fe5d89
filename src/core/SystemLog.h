// SPDX-License-Identifier: MIT
// The system log, where what the user does not see but may ask about is noted.
#pragma once

#include <string_view>

namespace orvane {

class SystemLog {
public:
    virtual ~SystemLog() = default;
    // `category` names the area ("settings", "url", "capture").
    virtual void note(std::string_view category, std::string_view message) = 0;
};

} // namespace orvane
