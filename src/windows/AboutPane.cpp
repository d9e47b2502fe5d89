// SPDX-License-Identifier: MIT
#include "windows/AboutPane.h"

#include "core/AppIdentity.h"
#include "settings/SettingsLayout.h"
#include "windows/SettingsWidgets.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvane {

using namespace SettingsWidgets;

AboutPane::AboutPane(const SettingsServices& services) {
    QVBoxLayout* pane = paneLayout(this, 8);
    auto* name = new QLabel(QString::fromUtf8(AppIdentity::name));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setWeight(QFont::DemiBold);
    name->setFont(big);
    pane->addWidget(name);
    pane->addWidget(
        new QLabel(QStringLiteral("Version ") + QString::fromUtf8(AppIdentity::version)));
    for (const std::string_view line : AppIdentity::credits) {
        pane->addWidget(note(QString::fromUtf8(line)));
    }
    pane->addSpacing(SettingsLayout::detailPadding);
    pane->addWidget(serviceButton(QStringLiteral("Quit Orvane"), services.quit), 0, Qt::AlignLeft);
    pane->addStretch(1);
}

} // namespace orvane
