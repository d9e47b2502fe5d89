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
    case StoreStatus::notAFile:
        return "the settings path is not a regular file, so the settings are kept only until "
               "Orvane quits";
    case StoreStatus::lockBlocked:
        return "the lock beside the settings file (its name and .lock) is not a file; remove it "
               "to save";
    }
    return "unknown store status";
}

} // namespace orvane
