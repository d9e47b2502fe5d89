// SPDX-License-Identifier: MIT
#include "capture/CaptureError.h"

#include "core/Availability.h"

namespace orvane {

std::string CaptureError::description() const {
    switch (kind) {
    case Kind::streamFailed:
        return "Capture stream failed: " + detail;
    case Kind::noPermission:
        return std::string(PermissionName::screenRecording()) + " permission is not granted.";
    case Kind::noBuiltInDisplay:
        return "No built-in display was found.";
    case Kind::cancelled:
        return "The capture start was overtaken.";
    }
    return "Capture stream failed: " + detail;
}

} // namespace orvane
