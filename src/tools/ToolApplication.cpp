// SPDX-License-Identifier: MIT
#include "tools/ToolApplication.h"

#include "core/AppIdentity.h"

#include <QApplication>

namespace orvane {

ToolApplication::ToolApplication()
    : ToolGui([](int& argc, char** argv) -> std::unique_ptr<QGuiApplication> {
          return std::make_unique<QApplication>(argc, argv);
      }) {
    QApplication::setApplicationName(QString::fromUtf8(AppIdentity::name));
}

} // namespace orvane
