// SPDX-License-Identifier: MIT
#include "offscreen/linux/Label.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <iostream>

namespace orvane {

namespace {
constexpr double badgeRadius = 4;
constexpr double charWidth = 7;
constexpr int labelPixelSize = 11;
} // namespace

ToolGui::ToolGui(MakeApplication make) {
    if (QGuiApplication::instance() != nullptr) {
        return;
    }
    // A tool's standard error carries its own lines only; Qt's chatter about
    // the session (no runtime folder and the like) is dropped.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::cerr << text.toStdString() << "\n";
        }
    });
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = make != nullptr ? make(argc_, argv_) : std::make_unique<QGuiApplication>(argc_, argv_);
}

ToolGui::~ToolGui() = default;

double labelWidth(qsizetype characters, double padding) {
    return charWidth * static_cast<double>(characters) + padding;
}

void drawLabel(QPainter& painter, const QRectF& badge, const QPointF& baseline, const QString& text,
               double badgeAlpha) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(badge, badgeRadius, badgeRadius);
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, badgeAlpha));
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(labelPixelSize);
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0.85, 0.85, 0.88));
    painter.drawText(baseline, text);
    painter.restore();
}

} // namespace orvane
