// SPDX-License-Identifier: MIT
// The overlay panel's cost by mode on its own Xvfb: draws a second and the
// main thread's CPU per frame while live at caps of 30, 60 and 120 (the
// software GPU's own threads not counted), and what frozen and hidden cost
// (they should draw nothing and spend nothing). Prints figures only.
#include "offscreen/linux/CannedDesktop.h"
#include "render/linux/OverlayPanel.h"
#include "render/linux/PanelSource.h"
#include "support/XvfbServer.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

using namespace orvane;

namespace {

constexpr int width = 1512;
constexpr int height = 982;
constexpr double secondsPerMode = 3.0;

// While it runs on the main thread: the GL driver's own threads are not in it.
double mainThreadCPU() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The event loop as the application runs it, sleeping when nothing is due.
void runFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

void measure(OverlayPanel& panel, const char* label, const std::function<void()>& enter) {
    enter();
    runFor(0.5); // the first frames compile and upload
    const int draws = panel.drawCount();
    const double cpu = mainThreadCPU();
    runFor(secondsPerMode);
    const int drawn = panel.drawCount() - draws;
    const double spent = (mainThreadCPU() - cpu) * 1000;
    std::printf("%-9s %6.1f draws a second, main thread %6.2f ms CPU a second%s", label,
                drawn / secondsPerMode, spent / secondsPerMode, drawn > 0 ? "" : "\n");
    if (drawn > 0) {
        std::printf(", %.2f ms a frame\n", spent / drawn);
    }
}

} // namespace

int main() {
    const test::XvfbServer server(std::to_string(width) + "x" + std::to_string(height) + "x24");
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int argc = 1;
    char name[] = "bench_overlay";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    const CannedDesktop desktop(width, height);
    auto source = std::make_shared<PanelSource>([] { return std::optional<FrameBox>(); },
                                                SampleImage{width, height, desktop.bytes()});
    OverlayPanelHooks hooks;
    // A lid on the move, so the sheet is redrawn every frame.
    hooks.frame = [](double time) {
        FoldFrameParams params;
        params.angle = 60 + 20 * std::sin(time);
        params.motion = FoldMotion::scripted(params.angle, 20 * std::cos(time));
        return std::optional(params);
    };
    hooks.source = [source] { return (*source)(); };
    hooks.releaseGl = [source] { source->releaseGl(); };
    OverlayPanel panel(QRect(0, 0, width, height), QSize(width, height), std::move(hooks));

    std::printf("overlay %dx%d on Xvfb\n", width, height);
    for (const std::int64_t fps : {30, 60, 120}) {
        const std::string label = "live " + std::to_string(fps);
        measure(panel, label.c_str(), [&panel, fps] { panel.showLive(fps); });
    }
    measure(panel, "frozen", [&panel] { panel.showFrozen(); });
    measure(panel, "hidden", [&panel] { panel.hide(); });
    return 0;
}
