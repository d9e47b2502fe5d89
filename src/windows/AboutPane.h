// SPDX-License-Identifier: MIT
// The settings window's About pane: the name, the version, the credits, Quit.
#pragma once

#include "windows/SettingsServices.h"

#include <QWidget>

namespace orvane {

class AboutPane final : public QWidget {
public:
    AboutPane(const SettingsServices& services);
};

} // namespace orvane
