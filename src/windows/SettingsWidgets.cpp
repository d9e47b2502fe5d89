// SPDX-License-Identifier: MIT
#include "windows/SettingsWidgets.h"

#include "settings/SettingsLayout.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvane {

void Refreshers::follow(std::initializer_list<Property> reads, std::function<void()> update) {
    update();
    updates_.emplace_back(std::vector<Property>(reads), std::move(update));
}

void Refreshers::changed(Property property) {
    for (const auto& [reads, update] : updates_) {
        if (std::find(reads.begin(), reads.end(), property) != reads.end()) {
            update();
        }
    }
}

void Refreshers::all() {
    for (const auto& entry : updates_) {
        entry.second();
    }
}

namespace SettingsWidgets {

QString whole(double value) {
    return QString::number(static_cast<long long>(std::round(value)));
}

QLabel* note(const QString& words) {
    auto* label = new QLabel(words);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QVBoxLayout* card(QVBoxLayout* pane, const QString& title) {
    auto* box = new QGroupBox(title);
    auto* rows = new QVBoxLayout(box);
    rows->setSpacing(10);
    pane->addWidget(box);
    return rows;
}

SliderRow sliderRow(const QString& title, int minimum, int maximum, QString accessible) {
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(minimum, maximum);
    slider->setAccessibleName(accessible.isEmpty() ? title : accessible);
    auto* readOut = new QLabel;
    readOut->setMinimumWidth(
        readOut->fontMetrics().horizontalAdvance(QStringLiteral("000 degrees")));
    readOut->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    line->addWidget(new QLabel(title));
    line->addWidget(slider, 1);
    line->addWidget(readOut);
    return {row, slider, readOut};
}

QPushButton* serviceButton(const QString& label, const std::function<void()>& action) {
    auto* button = new QPushButton(label);
    QObject::connect(button, &QPushButton::clicked, button, [action] {
        if (action) {
            action();
        }
    });
    return button;
}

QVBoxLayout* paneLayout(QWidget* page, int spacing) {
    auto* pane = new QVBoxLayout(page);
    pane->setContentsMargins(SettingsLayout::detailPadding, SettingsLayout::titlebarInset,
                             SettingsLayout::detailPadding, SettingsLayout::detailPadding);
    pane->setSpacing(spacing);
    return pane;
}

void sessionCard(QVBoxLayout* pane, const SettingsModel& model, Refreshers& refreshers) {
    auto* box = new QGroupBox(QStringLiteral("Not on this session yet"));
    box->setObjectName(QStringLiteral("sessionCard"));
    auto* rows = new QVBoxLayout(box);
    auto* words = new QLabel(QStringLiteral(
        "This session cannot show the fold yet. On KDE Plasma, install the orvane-kwin-effect "
        "package and start Orvane again: KWin then draws the fold. Elsewhere Orvane draws it in "
        "X11 sessions: log out, choose an X11 session at the login screen (such as \"GNOME on "
        "Xorg\") and log in again. The lid sensor, the accordion and these settings work "
        "here."));
    words->setWordWrap(true);
    rows->addWidget(words);
    pane->addWidget(box);
    refreshers.follow({SettingsModel::Property::availability}, [box, &model] {
        box->setVisible(model.availability().kind() == Availability::Kind::unsupportedSession);
    });
}

} // namespace SettingsWidgets

} // namespace orvane
