// SPDX-License-Identifier: MIT
#include "windows/CoverPane.h"

#include "cover/CoverMode.h"
#include "settings/SettingsLayout.h"
#include "windows/SettingsWidgets.h"

#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace orvane {

using namespace SettingsWidgets;

CoverPane::CoverPane(SettingsModel& model, Refreshers& refreshers) {
    QVBoxLayout* pane = paneLayout(this, 16);
    SettingsModel& m = model;
    auto* sentence = new QLabel;
    sentence->setWordWrap(true);
    pane->addWidget(sentence);
    QVBoxLayout* modes = card(pane, QStringLiteral("Cover"));
    std::vector<std::pair<CoverMode, QRadioButton*>> buttons;
    for (const CoverMode mode : {CoverMode::off, CoverMode::veil, CoverMode::clock}) {
        auto* button = new QRadioButton(QString::fromUtf8(displayName(mode)));
        modes->addWidget(button);
        auto* line = note(QString::fromUtf8(settingsLine(mode)));
        line->setContentsMargins(24, 0, 0, 6);
        modes->addWidget(line);
        connect(button, &QRadioButton::clicked, this,
                [&m, mode] { m.edit([mode](FoldSettings& s) { s.setCoverMode(mode); }); });
        buttons.emplace_back(mode, button);
    }
    refreshers.follow({SettingsModel::Property::settings}, [=, &m] {
        sentence->setText(
            QString::fromStdString(SettingsLayout::coverSentence(m.settings().clearAngle)));
        for (const auto& [mode, button] : buttons) {
            const QSignalBlocker quiet(button);
            button->setChecked(mode == m.settings().coverMode);
        }
    });
    pane->addStretch(1);
}

} // namespace orvane
