// SPDX-License-Identifier: MIT
// A headless KWin Wayland session on private buses, as a KDE user's desktop
// without the hardware: a virtual output drawn with OpenGL on llvmpipe, its
// socket in a temporary runtime folder, and a Qt application started while
// this lives runs on it (QT_QPA_PLATFORM=wayland, no DISPLAY). Screenshots come
// through KWin's own ScreenShot2 interface.
#pragma once

#include "support/PrivateBuses.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"

#include <QImage>
#include <QRect>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane::test {

class KWinSession {
public:
    enum class Platform {
        wayland, // kwin_wayland's virtual outputs
        x11,     // kwin_x11 compositing a private Xvfb with OpenGL; one output
    };

    // Throws when KWin does not come up within a few seconds. Each output is
    // width × height.
    KWinSession(int width, int height, int outputs = 1, Platform platform = Platform::wayland);
    ~KWinSession();
    KWinSession(const KWinSession&) = delete;
    KWinSession& operator=(const KWinSession&) = delete;

    const PrivateBuses& buses() const { return buses_; }
    const std::filesystem::path& home() const { return home_.path(); }
    bool running() { return kwin_->running(); }
    // The active output as composed now, or the named one; a null image when KWin does
    // not answer.
    QImage screenshot(const QString& output = {}) const;
    // The captions of the windows KWin manages, asked of it through a script.
    std::vector<std::string> windows();
    // Where KWin shows the window with this caption, frame included.
    std::optional<QRect> windowRect(const std::string& caption);

private:
    bool compositing() const;
    // What a KWin script given `body` reports with report(line).
    std::vector<std::string> scriptLines(const std::string& body);

    TempDir home_;
    ScopedEnv config_{"XDG_CONFIG_HOME", (home_.path() / "config").string()};
    ScopedEnv data_{"XDG_DATA_HOME", (home_.path() / "data").string()};
    PrivateBuses buses_;
    std::optional<XvfbServer> xvfb_;
    std::optional<ScopedEnv> display_;
    std::optional<ScopedEnv> platform_;
    std::optional<ScopedEnv> wayland_;
    ScopedEnv screenshots_{"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS", "1"};
    ScopedEnv permissions_{"KWIN_WAYLAND_NO_PERMISSION_CHECKS", "1"};
    std::unique_ptr<ChildProcess> kwin_;
    int scripts_ = 0;
};

} // namespace orvane::test
