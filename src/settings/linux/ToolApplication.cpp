// SPDX-License-Identifier: MIT
#include "settings/linux/ToolApplication.h"

#include "core/AppIdentity.h"

#include <QApplication>

namespace orvane {

ToolApplication::ToolApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setApplicationName(QString::fromUtf8(AppIdentity::name));
}

ToolApplication::~ToolApplication() = default;

} // namespace orvane
