// SPDX-License-Identifier: MIT
#include "windows/AccordionPane.h"

#include "core/Availability.h"
#include "windows/SettingsWidgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace orvane {

using namespace SettingsWidgets;

AccordionPane::AccordionPane(SettingsModel& model, Refreshers& refreshers) {
    QVBoxLayout* pane = paneLayout(this, 16);
    SettingsModel& m = model;
    QVBoxLayout* rows = card(pane, QStringLiteral("Accordion"));
    auto* on = new QCheckBox(QStringLiteral("Accordion"));
    rows->addWidget(on);
    rows->addWidget(note(QStringLiteral("Plays a chord while the lid moves.")));
    const SliderRow volume =
        sliderRow(QStringLiteral("Volume"), 0, percent, QStringLiteral("Accordion volume"));
    rows->addWidget(volume.row);
    connect(on, &QCheckBox::toggled, this,
            [&m](bool value) { m.edit([value](FoldSettings& s) { s.accordion = value; }); });
    connect(volume.slider, &QSlider::valueChanged, this, [&m](int value) {
        m.edit([value](FoldSettings& s) { s.setAccordionVolume(value / double(percent)); });
    });
    refreshers.follow({SettingsModel::Property::settings}, [=, &m] {
        const QSignalBlocker q1(on), q2(volume.slider);
        on->setChecked(m.settings().accordion);
        volume.slider->setValue(
            static_cast<int>(std::lround(m.settings().accordionVolume * percent)));
        volume.readOut->setText(whole(m.settings().accordionVolume * percent) +
                                QStringLiteral(" %"));
    });
    pane->addWidget(note(QStringLiteral(
        "The lid angle picks the chord. Closing pushes and opening pulls, with different chords. "
        "Speed sets how loud and bright it sounds.")));
    pane->addWidget(note(QStringLiteral("Accordion needs only the lid sensor. It works without ") +
                         QString::fromUtf8(PermissionName::screenRecording()) +
                         QStringLiteral(".")));
    pane->addStretch(1);
}

} // namespace orvane
