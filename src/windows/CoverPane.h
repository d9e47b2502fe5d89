// SPDX-License-Identifier: MIT
// The settings window's Cover pane: when the cover shows, and its modes.
#pragma once

#include "settings/SettingsModel.h"

#include <QWidget>

namespace orvane {

class Refreshers;

class CoverPane final : public QWidget {
public:
    CoverPane(SettingsModel& model, Refreshers& refreshers);
};

} // namespace orvane
