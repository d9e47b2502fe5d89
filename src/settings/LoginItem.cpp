// SPDX-License-Identifier: MIT
#include "settings/LoginItem.h"

namespace orvane {

std::string_view describe(LoginItemError error) {
    switch (error) {
    case LoginItemError::noConfigFolder:
        return "No configuration folder is known (neither XDG_CONFIG_HOME nor HOME is set).";
    case LoginItemError::cannotCreateFolder:
        return "The autostart folder could not be created.";
    case LoginItemError::cannotWrite:
        return "The autostart entry could not be written.";
    case LoginItemError::cannotRemove:
        return "The autostart entry could not be removed.";
    }
    return "The login item could not be changed.";
}

} // namespace orvane
