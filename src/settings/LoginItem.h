// SPDX-License-Identifier: MIT
// Starting Orvane when the user logs in.
#pragma once

#include <optional>
#include <string_view>

namespace orvane {

enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

enum class LoginItemError { noConfigFolder, cannotCreateFolder, cannotWrite, cannotRemove };

std::string_view describe(LoginItemError error);

class LoginItemService {
public:
    virtual ~LoginItemService() = default;
    virtual LoginItemStatus status() const = 0;
    // Nothing on success.
    virtual std::optional<LoginItemError> setEnabled(bool on) = 0;
    // False when the desktop has no settings page to open.
    virtual bool openSettings() = 0;
};

} // namespace orvane
