// SPDX-License-Identifier: MIT
#include "app/linux/AboutPanel.h"

#include "core/AppIdentity.h"

#include <QApplication>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <QStringList>

namespace orvane::AboutPanel {

QString creditsText() {
    QStringList lines;
    for (const std::string_view line : AppIdentity::credits) {
        lines.push_back(QString::fromUtf8(line));
    }
    return lines.join(u'\n');
}

void show(QWidget* over) {
    // One panel at a time: asking again raises the open one.
    static QPointer<QMessageBox> panel;
    // Made anew for another window to stand over.
    if (panel && panel->parentWidget() != over) {
        panel->close();
        delete panel;
    }
    if (!panel) {
        const QString name = QString::fromUtf8(AppIdentity::name);
        panel = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About %1").arg(name), {},
                                QMessageBox::Close, over);
        panel->setAttribute(Qt::WA_DeleteOnClose);
        panel->setIconPixmap(QApplication::windowIcon().pixmap(64));
        // The credits small, centred and in a secondary text colour, under the name.
        const QPalette palette = panel->palette();
        const QColor text = palette.color(QPalette::WindowText);
        const QColor window = palette.color(QPalette::Window);
        const QString secondary = QColor::fromRgbF((text.redF() + window.redF()) / 2,
                                                   (text.greenF() + window.greenF()) / 2,
                                                   (text.blueF() + window.blueF()) / 2)
                                      .name();
        panel->setTextFormat(Qt::RichText);
        panel->setText(
            QStringLiteral("<h3 align=\"center\">%1</h3>"
                           "<p align=\"center\" style=\"font-size: small; color: %2; "
                           "white-space: nowrap\">"
                           "%3</p>")
                .arg(name, secondary,
                     creditsText().toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"))));
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
}

} // namespace orvane::AboutPanel
