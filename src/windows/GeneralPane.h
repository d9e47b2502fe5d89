// SPDX-License-Identifier: MIT
// The settings window's General pane: startup, the clear click, pausing and
// its app list, the angle in the status item, the built-in screen, and what
// Orvane records.
#pragma once

#include "windows/SettingsServices.h"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QComboBox;

namespace orvane {

class Refreshers;

class GeneralPane final : public QWidget {
public:
    GeneralPane(SettingsModel& model, const SettingsServices& services, Refreshers& refreshers);

    // Reads the connected screens again: when the window opens and when the screens change.
    void readScreens();

private:
    void showScreens();

    SettingsModel& model_;
    const SettingsServices& services_;
    QComboBox* screens_ = nullptr;
    std::vector<std::string> names_;
    std::optional<std::string> automatic_;
};

} // namespace orvane
