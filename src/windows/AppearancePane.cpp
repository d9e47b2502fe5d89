// SPDX-License-Identifier: MIT
#include "windows/AppearancePane.h"

#include "core/Tuning.h"
#include "settings/SettingsLayout.h"
#include "windows/FoldPreview.h"
#include "windows/SettingsWidgets.h"
#include "windows/StyleCards.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace orvane {

namespace {

using namespace SettingsWidgets;
using P = SettingsModel::Property;

// A laptop whose screen shows the preview picture.
class LaptopPreview final : public QWidget {
public:
    explicit LaptopPreview(FoldPreview& preview) : preview_(preview) {
        setMinimumHeight(260);
        connect(&preview_, &FoldPreview::changed, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double aspect = 624.0 / 960.0;
        const double screenWidth = std::min(width() * 0.7, (height() - 30) / aspect);
        const QRectF screen((width() - screenWidth) / 2, 10, screenWidth, screenWidth * aspect);
        const QColor body = palette().color(QPalette::Mid);
        QPainterPath lid;
        lid.addRoundedRect(screen.adjusted(-10, -10, 10, 8), 12, 12);
        painter.fillPath(lid, body);
        QPainterPath base;
        const QRectF deck(screen.left() - 40, screen.bottom() + 8, screen.width() + 80, 12);
        base.addRoundedRect(deck, 6, 6);
        painter.fillPath(base, body.darker(115));
        painter.fillRect(screen, Qt::black);
        const auto& frame = preview_.frame();
        if (preview_.unavailable()) {
            painter.setPen(Qt::white);
            painter.drawText(screen.adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                             QStringLiteral("Preview unavailable\nThis computer cannot draw the "
                                            "preview."));
        } else if (frame) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(screen, frame->image);
        }
    }

private:
    FoldPreview& preview_;
};

} // namespace

AppearancePane::AppearancePane(SettingsModel& model, const SettingsServices& services,
                               Refreshers& refreshers, FoldPreview& preview) {
    QVBoxLayout* pane = paneLayout(this, 16);
    SettingsModel& m = model;
    sessionCard(pane, m, refreshers);

    auto* reduced = note(QStringLiteral("Reduce Motion is on. Orvane fades a frost instead of "
                                        "folding."));
    pane->addWidget(reduced);
    auto* laptop = new LaptopPreview(preview);
    pane->addWidget(laptop);

    QVBoxLayout* angle = card(pane, QStringLiteral("Angle"));
    const SliderRow slider = sliderRow(QStringLiteral("Angle"), int(Tuning::manualAngleMin),
                                       int(Tuning::manualAngleMax));
    angle->addWidget(slider.row);
    auto* followLid = new QCheckBox(QStringLiteral("Follow lid"));
    angle->addWidget(followLid);
    auto* line = note({});
    angle->addWidget(line);
    connect(slider.slider, &QSlider::valueChanged, this,
            [&m](int value) { m.setManualAngle(value); });
    connect(followLid, &QCheckBox::toggled, this, [&m](bool on) { m.setFollowLid(on); });
    // The sensor's facts come with a change of availability or of the lid's calibration.
    refreshers.follow(
        {P::settings, P::lidAngle, P::manualAngle, P::availability, P::lidCalibrationEnabled},
        [=, &m, &services] {
            const QSignalBlocker q1(slider.slider), q2(followLid);
            const bool follows = m.followsLid();
            // Following, the slider shows the lid; holding, the angle the fold is held at.
            const double shown = follows ? m.lidAngle().value_or(m.manualAngle()) : m.manualAngle();
            slider.slider->setValue(static_cast<int>(std::lround(shown)));
            slider.slider->setEnabled(!follows);
            slider.readOut->setText(whole(shown) + QStringLiteral(" degrees"));
            followLid->setChecked(follows);
            const auto facts = services.host.sensorFacts();
            line->setText(QString::fromStdString(SettingsLayout::angleLine(follows, facts)));
            reduced->setVisible(services.reduceMotion && services.reduceMotion());
            laptop->setAccessibleName(
                QStringLiteral("Preview of ") + QString::fromUtf8(displayName(m.settings().style)) +
                QStringLiteral(" at ") + whole(m.manualAngle()) + QStringLiteral(" degrees"));
        });

    QVBoxLayout* style = card(pane, QStringLiteral("Style"));
    auto* cards = new StyleCards;
    style->addWidget(cards);
    cards->onSelect = [&m](FoldStyle chosen) {
        m.edit([chosen](FoldSettings& s) { s.setStyle(chosen); });
    };
    refreshers.follow({P::settings}, [=, &m] { cards->setSelected(m.settings().style); });

    QVBoxLayout* look = card(pane, QString());
    const std::pair<const char*, void (FoldSettings::*)(double)> looks[] = {
        {"Perspective", &FoldSettings::setPerspective},
        {"Blur", &FoldSettings::setBlur},
        {"Shadow", &FoldSettings::setShadow}};
    const double FoldSettings::*fields[] = {&FoldSettings::perspective, &FoldSettings::blur,
                                            &FoldSettings::shadow};
    for (std::size_t i = 0; i < std::size(looks); ++i) {
        const SliderRow row = sliderRow(QString::fromLatin1(looks[i].first), 0, percent);
        look->addWidget(row.row);
        const auto setter = looks[i].second;
        const auto field = fields[i];
        connect(row.slider, &QSlider::valueChanged, this, [&m, setter](int value) {
            m.edit([&](FoldSettings& s) { (s.*setter)(value / double(percent)); });
        });
        refreshers.follow({P::settings}, [=, &m] {
            const QSignalBlocker quiet(row.slider);
            const double value = m.settings().*field;
            row.slider->setValue(static_cast<int>(std::lround(value * percent)));
            row.readOut->setText(whole(value * percent) + QStringLiteral(" %"));
        });
    }

    QVBoxLayout* clear = card(pane, QStringLiteral("Clear angle"));
    const SliderRow clearRow = sliderRow(QStringLiteral("Clear angle"), int(Tuning::minClearAngle),
                                         int(Tuning::maxClearAngle));
    clear->addWidget(clearRow.row);
    clear->addWidget(note(QStringLiteral("Above this angle the screen is clear.")));
    auto* fromLid = new QPushButton(QStringLiteral("Set from my lid"));
    auto* calibration = note({});
    auto* calibrationRow = new QHBoxLayout;
    calibrationRow->addWidget(fromLid);
    calibrationRow->addWidget(calibration, 1);
    clear->addLayout(calibrationRow);
    connect(clearRow.slider, &QSlider::valueChanged, this,
            [&m](int value) { m.edit([value](FoldSettings& s) { s.setClearAngle(value); }); });
    connect(fromLid, &QPushButton::clicked, this, [&m] { m.setClearAngleFromLid(); });
    refreshers.follow({P::settings, P::lidCalibrationEnabled, P::lidCalibrationLabel}, [=, &m] {
        const QSignalBlocker quiet(clearRow.slider);
        clearRow.slider->setValue(static_cast<int>(std::lround(m.settings().clearAngle)));
        clearRow.readOut->setText(whole(m.settings().clearAngle) + QStringLiteral(" degrees"));
        fromLid->setEnabled(m.lidCalibrationEnabled());
        calibration->setText(QString::fromStdString(m.lidCalibrationLabel()));
    });
    pane->addStretch(1);
}

} // namespace orvane
