// SPDX-License-Identifier: MIT
#include "windows/Appearance.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace orvane::Appearance {

namespace {

// Calm greys with one blue accent, readable at every size.
QPalette darkPalette() {
    const QColor window(0x2b, 0x2d, 0x31);
    const QColor base(0x1f, 0x21, 0x24);
    const QColor text(0xe8, 0xe9, 0xeb);
    const QColor accent(0x4c, 0x8d, 0xf6);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9d, 0xa3));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3d, 0x42));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent.lighter(120));
    palette.setColor(QPalette::Light, QColor(0x48, 0x4b, 0x51));
    palette.setColor(QPalette::Midlight, QColor(0x3f, 0x42, 0x47));
    palette.setColor(QPalette::Mid, QColor(0x35, 0x37, 0x3b));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x19, 0x1b));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, QColor(0x7a, 0x7d, 0x83));
    }
    return palette;
}

} // namespace

void apply(bool dark) {
    if (QApplication::style()->name() != QStringLiteral("fusion")) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
}

} // namespace orvane::Appearance
