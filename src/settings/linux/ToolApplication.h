// SPDX-License-Identifier: MIT
// The application object of a tool run that draws windows: Qt's offscreen
// platform, so nothing is shown and no display is needed.
#pragma once

#include <memory>

class QApplication;

namespace orvane {

class ToolApplication {
public:
    ToolApplication();
    ~ToolApplication();
    ToolApplication(const ToolApplication&) = delete;
    ToolApplication& operator=(const ToolApplication&) = delete;

private:
    int argc_ = 1;
    char name_[7] = "orvane";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

} // namespace orvane
