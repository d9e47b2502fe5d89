// SPDX-License-Identifier: MIT
// The settings window's Appearance pane: the live preview in a drawn laptop,
// the angle and Follow lid, the styles, the sliders and the clear angle.
#pragma once

#include "windows/SettingsServices.h"

#include <QWidget>

namespace orvane {

class FoldPreview;
class Refreshers;

class AppearancePane final : public QWidget {
public:
    AppearancePane(SettingsModel& model, const SettingsServices& services, Refreshers& refreshers,
                   FoldPreview& preview);
};

} // namespace orvane
