// SPDX-License-Identifier: MIT
// Text drawn onto the tools' pictures: a dark rounded badge and a line of
// monospaced text on it.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>

class QGuiApplication;
class QPainter;

namespace orvane {

// Text needs Qt's font machinery, which needs an application object; a tool
// gets one on the offscreen platform, so no display is involved.
class ToolGui {
public:
    // Makes the application object; a QGuiApplication unless a tool needs more.
    using MakeApplication = std::unique_ptr<QGuiApplication> (*)(int& argc, char** argv);

    explicit ToolGui(MakeApplication make = nullptr);
    ~ToolGui();
    ToolGui(const ToolGui&) = delete;
    ToolGui& operator=(const ToolGui&) = delete;

private:
    int argc_ = 1;
    char name_[7] = "orvane";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

// `badge` and `baseline` in Qt's top-left coordinates.
void drawLabel(QPainter& painter, const QRectF& badge, const QPointF& baseline, const QString& text,
               double badgeAlpha);

// The badge width the tools give a text of this many characters.
double labelWidth(qsizetype characters, double padding);

} // namespace orvane
