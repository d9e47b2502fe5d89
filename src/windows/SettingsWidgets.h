// SPDX-License-Identifier: MIT
// The pieces the settings panes are made of, and the updates that keep them
// showing the model: each runs when a property it reads changes.
#pragma once

#include "settings/SettingsModel.h"

#include <QString>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;
class QWidget;

namespace orvane {

class Refreshers {
public:
    using Property = SettingsModel::Property;

    // Runs `update` now, and after each change of a property in `reads`.
    void follow(std::initializer_list<Property> reads, std::function<void()> update);
    void changed(Property property);
    void all();

private:
    std::vector<std::pair<std::vector<Property>, std::function<void()>>> updates_;
};

namespace SettingsWidgets {

inline constexpr int percent = 100;

QString whole(double value);
// A line of secondary text.
QLabel* note(const QString& words);
// A titled card; its rows go in the layout returned.
QVBoxLayout* card(QVBoxLayout* pane, const QString& title);

// A slider with its title and read-out on one row.
struct SliderRow {
    QWidget* row;
    QSlider* slider;
    QLabel* readOut;
};
// `accessible` tells apart rows of one title, such as the two volumes.
SliderRow sliderRow(const QString& title, int minimum, int maximum, QString accessible = {});

// A button that asks the application for `action`, when it offers one.
QPushButton* serviceButton(const QString& label, const std::function<void()>& action);
// A pane's rows, top to bottom, inside the detail area's padding.
QVBoxLayout* paneLayout(QWidget* page, int spacing);
// The card that says, while it holds, that this desktop session cannot show the fold.
void sessionCard(QVBoxLayout* pane, const SettingsModel& model, Refreshers& refreshers);

} // namespace SettingsWidgets

} // namespace orvane
