// SPDX-License-Identifier: MIT
// Why the capture of the built-in screen could not start or went on failing.
#pragma once

#include <string>

namespace orvane {

struct CaptureError {
    enum class Kind { streamFailed, noPermission, noBuiltInDisplay, cancelled };
    Kind kind = Kind::streamFailed;
    std::string detail; // streamFailed: what failed

    std::string description() const;
    bool operator==(const CaptureError&) const = default;
};

} // namespace orvane
