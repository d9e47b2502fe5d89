// SPDX-License-Identifier: MIT
#include "settings/SettingsStore.h"

namespace orvane {

std::string_view describe(StoreStatus status) {
    switch (status) {
    case StoreStatus::ok:
        return "saved";
    case StoreStatus::accessDenied:
        return "the settings file cannot be written: permission denied";
    case StoreStatus::formatError:
        return "the settings file is damaged and was not overwritten";
    case StoreStatus::writeFailed:
        return "the settings could not be written (is the disk full?)";
    }
    return "unknown store status";
}

} // namespace orvane
