// SPDX-License-Identifier: MIT
// The settings window's Accordion pane: the switch, the volume, how it plays.
#pragma once

#include "settings/SettingsModel.h"

#include <QWidget>

namespace orvane {

class Refreshers;

class AccordionPane final : public QWidget {
public:
    AccordionPane(SettingsModel& model, Refreshers& refreshers);
};

} // namespace orvane
