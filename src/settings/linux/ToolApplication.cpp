// SPDX-License-Identifier: MIT
#include "settings/linux/ToolApplication.h"

#include "core/AppIdentity.h"

#include <QApplication>

namespace orvane {

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform notes every window call it has no use for; a tool's
// output stays its own lines.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, message);
    }
}

} // namespace

ToolApplication::ToolApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietOffscreen);
    application_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setApplicationName(QString::fromUtf8(AppIdentity::name));
}

ToolApplication::~ToolApplication() {
    application_.reset();
    qInstallMessageHandler(previousHandler);
}

} // namespace orvane
