// SPDX-License-Identifier: MIT
// The login item as an XDG autostart entry: a desktop file in
// $XDG_CONFIG_HOME/autostart that session managers start at login.
#pragma once

#include "settings/LoginItem.h"

#include <filesystem>

namespace orvane {

class XdgAutostart final : public LoginItemService {
public:
    // An empty executable means Orvane cannot tell where it lives.
    XdgAutostart(std::filesystem::path configHome, std::filesystem::path executable);
    // $XDG_CONFIG_HOME, else ~/.config; empty when neither is known.
    static XdgAutostart fromEnvironment(std::filesystem::path executable);

    std::filesystem::path entryPath() const;

    LoginItemStatus status() const override;
    std::optional<LoginItemError> setEnabled(bool on) override;
    bool openSettings() override { return false; }

private:
    std::filesystem::path configHome_;
    std::filesystem::path executable_;
};

} // namespace orvane
