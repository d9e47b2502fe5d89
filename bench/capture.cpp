// SPDX-License-Identifier: MIT
// The X11 capture's cost on the main thread, against a plain XShmGetImage copy
// of the whole screen measured in the same run. Starts its own Xvfb at
// 1512x982 and at 2880x1800 (or measures $DISPLAY with --here), with a dozen
// windows another thread repaints. Prints figures only.
#include <epoxy/gl.h>

#include "capture/linux/X11CaptureFactory.h"
#include "platform/QtScheduler.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/prctl.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

using namespace orvane;

namespace {

constexpr int windowCount = 12;
constexpr double loadSeconds = 3.0;
constexpr int latencySamples = 40;
constexpr int shmCopies = 30;

double seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double wall() {
    return seconds(CLOCK_MONOTONIC);
}

// The X server's user + system CPU seconds; 0 when it is not ours to read.
double serverCPU(pid_t server) {
    if (server <= 0) {
        return 0;
    }
    std::ifstream file("/proc/" + std::to_string(server) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

// Another client's dozen windows in a grid, repainted from its own thread.
class Painter {
public:
    Painter() : display_(XOpenDisplay(nullptr)) {
        const int screen = DefaultScreen(display_);
        width_ = DisplayWidth(display_, screen);
        height_ = DisplayHeight(display_, screen);
        for (int i = 0; i < windowCount; ++i) {
            const int w = width_ / 4;
            const int h = height_ / 3;
            rects_.push_back({(i % 4) * w + 8, (i / 4) * h + 8, w - 16, h - 16});
            windows_.push_back(
                XCreateSimpleWindow(display_, DefaultRootWindow(display_), rects_.back().x,
                                    rects_.back().y, static_cast<unsigned>(rects_.back().width),
                                    static_cast<unsigned>(rects_.back().height), 0, 0, 0x404040));
            XMapWindow(display_, windows_.back());
        }
        gc_ = XCreateGC(display_, windows_[0], 0, nullptr);
        XSync(display_, False);
    }
    ~Painter() {
        XFreeGC(display_, gc_);
        XCloseDisplay(display_);
    }
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    void fill(int window, unsigned long colour) {
        XSetForeground(display_, gc_, colour);
        XFillRectangle(display_, windows_[static_cast<std::size_t>(window)], gc_, 0, 0,
                       static_cast<unsigned>(rects_[static_cast<std::size_t>(window)].width),
                       static_cast<unsigned>(rects_[static_cast<std::size_t>(window)].height));
    }
    void flush() { XFlush(display_); }
    // The window's middle pixel in root coordinates.
    std::pair<int, int> centre(int window) const {
        const Rect& r = rects_[static_cast<std::size_t>(window)];
        return {r.x + r.width / 2, r.y + r.height / 2};
    }

private:
    struct Rect {
        int x, y, width, height;
    };
    Display* display_;
    int width_ = 0;
    int height_ = 0;
    std::vector<Rect> rects_;
    std::vector<Window> windows_;
    GC gc_{};

public:
    int width() const { return width_; }
    int height() const { return height_; }
};

// Every window repainted about 120 times a second until `stop`; returns the thread's CPU.
double paintLoad(Painter& painter, const std::atomic<bool>& stop) {
    const double before = seconds(CLOCK_THREAD_CPUTIME_ID);
    for (unsigned long round = 0; !stop; ++round) {
        for (int i = 0; i < windowCount; ++i) {
            painter.fill(i, (round * 40503UL + static_cast<unsigned long>(i) * 7919UL) & 0xffffff);
        }
        painter.flush();
        std::this_thread::sleep_for(std::chrono::microseconds(8333));
    }
    return seconds(CLOCK_THREAD_CPUTIME_ID) - before;
}

void runFor(double duration) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(duration * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

struct Log final : SystemLog {
    void note(std::string_view category, std::string_view message) override {
        std::printf("  log %.*s: %.*s\n", static_cast<int>(category.size()), category.data(),
                    static_cast<int>(message.size()), message.data());
    }
};

// One stream of the real capture into a slot, in `context`.
struct Capture {
    std::shared_ptr<CaptureFrameSlot> slot = std::make_shared<CaptureFrameSlot>();
    std::shared_ptr<FrameSink> sink;
    std::unique_ptr<CaptureBackend> backend;

    Capture(X11CaptureFactory& factory, const CapturePreparation& area, std::int64_t fps) {
        slot->liveGeneration = 1;
        sink = std::make_shared<FrameSink>(slot, 1, [](const std::string& message) {
            std::printf("  stream failed: %s\n", message.c_str());
        });
        bool done = false;
        factory.makeBackend(area, fps, sink, [&](CaptureFactory::Made made) {
            backend = made.take();
            backend->start([&](std::optional<CaptureError>) { done = true; });
        });
        while (!done || slot->frameCounter == 0) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
    }
    ~Capture() {
        bool stopped = false;
        backend->stop([&] { stopped = true; });
        while (!stopped) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
    }
};

// The frame's pixel, read back: this also waits for the frame's drawing.
unsigned long pixelAt(const FrameTexture& frame, int x, int y) {
    static GLuint framebuffer = 0;
    if (framebuffer == 0) {
        glGenFramebuffers(1, &framebuffer);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frame.textureName(),
                           0);
    unsigned char rgba[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return (static_cast<unsigned long>(rgba[0]) << 16) |
           (static_cast<unsigned long>(rgba[1]) << 8) | rgba[2];
}

// Repaint (flushed) to a frame that shows it, per sample, in milliseconds.
std::vector<double> latencies(X11CaptureFactory& factory, const CapturePreparation& area,
                              std::int64_t fps, Painter& painter) {
    const Capture capture(factory, area, fps);
    std::atomic<int> window{-1};
    std::atomic<unsigned long> colour{0};
    std::atomic<double> paintedAt{0};
    std::atomic<double> seenAt{0};
    std::uint64_t checked = capture.slot->frameCounter;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (capture.slot->frameCounter == checked || window < 0 || seenAt > 0) {
            return;
        }
        checked = capture.slot->frameCounter;
        const auto [x, y] = painter.centre(window);
        if (pixelAt(*capture.slot->frame->texture, x - area.x, y - area.y) == colour) {
            seenAt = wall();
        }
    });
    poll.start(1);
    std::vector<double> samples;
    std::atomic<bool> finished{false};
    std::thread driver([&] {
        std::mt19937 random(7);
        for (int i = 0; i < latencySamples; ++i) {
            seenAt = 0;
            window = i % windowCount;
            colour = 0x100000UL + static_cast<unsigned long>(i) * 0x0a0b07UL % 0xefffff;
            painter.fill(window, colour);
            painter.flush();
            paintedAt = wall();
            const double deadline = paintedAt + 1.0;
            while (seenAt == 0 && wall() < deadline) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            if (seenAt > 0) {
                samples.push_back((seenAt - paintedAt) * 1000);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 20));
        }
        finished = true;
    });
    while (!finished) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    driver.join();
    return samples;
}

struct ShmCopyCost {
    double wall = 0; // milliseconds a copy
    double client = 0;
    double server = 0;
};

// The yardstick: one shared-memory copy of the whole screen.
ShmCopyCost shmCopyCost(int width, int height, pid_t server) {
    Display* display = XOpenDisplay(nullptr);
    XShmSegmentInfo segment{};
    const int screen = DefaultScreen(display);
    XImage* image =
        XShmCreateImage(display, DefaultVisual(display, screen),
                        static_cast<unsigned>(DefaultDepth(display, screen)), ZPixmap, nullptr,
                        &segment, static_cast<unsigned>(width), static_cast<unsigned>(height));
    segment.shmid = shmget(IPC_PRIVATE,
                           static_cast<std::size_t>(image->bytes_per_line) *
                               static_cast<std::size_t>(image->height),
                           IPC_CREAT | 0600);
    segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    XShmAttach(display, &segment);
    XSync(display, False);
    const double wall0 = wall();
    const double client0 = seconds(CLOCK_THREAD_CPUTIME_ID);
    const double serverBefore = serverCPU(server);
    for (int i = 0; i < shmCopies; ++i) {
        XShmGetImage(display, DefaultRootWindow(display), image, 0, 0, AllPlanes);
    }
    ShmCopyCost cost;
    cost.wall = (wall() - wall0) * 1000 / shmCopies;
    cost.client = (seconds(CLOCK_THREAD_CPUTIME_ID) - client0) * 1000 / shmCopies;
    cost.server = (serverCPU(server) - serverBefore) * 1000 / shmCopies;
    XShmDetach(display, &segment);
    XDestroyImage(image);
    shmdt(segment.shmaddr);
    shmctl(segment.shmid, IPC_RMID, nullptr);
    XCloseDisplay(display);
    return cost;
}

void measure(const char* label, pid_t server) {
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    QOffscreenSurface surface;
    surface.setFormat(format);
    surface.create();
    QOpenGLContext context;
    context.setFormat(format);
    if (!context.create() || !context.makeCurrent(&surface)) {
        std::printf("%s: no OpenGL context\n", label);
        return;
    }
    QtScheduler scheduler;
    Log log;
    X11CaptureFactory factory({scheduler, log, context, surface, [] { return std::string(); }, {}});
    Painter painter;
    const CapturePreparation area{"root", 0, 0, painter.width(), painter.height()};
    std::printf("%s: %dx%d, %d windows repainted ~120 times a second, %s\n", label, area.width,
                area.height, windowCount, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    // The painting alone, so its share of the X server's time can be taken out.
    std::atomic<bool> stop{false};
    double serverBefore = serverCPU(server);
    std::thread idle([&] { paintLoad(painter, stop); });
    runFor(1.5);
    stop = true;
    idle.join();
    const double paintServerPerSecond = (serverCPU(server) - serverBefore) / 1.5;

    double painterCPU = 0;
    std::uint64_t frames = 0;
    double mainCPU = 0;
    double processCPU = 0;
    double serverShare = 0;
    {
        const Capture capture(factory, area, 60);
        stop = false;
        std::thread load([&] { painterCPU = paintLoad(painter, stop); });
        const std::uint64_t firstFrame = capture.slot->frameCounter;
        const double main0 = seconds(CLOCK_THREAD_CPUTIME_ID);
        const double process0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
        serverBefore = serverCPU(server);
        runFor(loadSeconds);
        frames = capture.slot->frameCounter - firstFrame;
        mainCPU = seconds(CLOCK_THREAD_CPUTIME_ID) - main0;
        glFinish(); // the last frame's drawing counts too
        processCPU = seconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
        serverShare = serverCPU(server) - serverBefore - paintServerPerSecond * loadSeconds;
        stop = true;
        load.join();
        processCPU -= painterCPU;
    }
    const double perFrame = 1000.0 / static_cast<double>(std::max<std::uint64_t>(frames, 1));
    std::printf("  capture at 60 fps: %llu frames in %.1f s\n",
                static_cast<unsigned long long>(frames), loadSeconds);
    std::printf("  CPU per frame: main thread %.2f ms, whole process (with llvmpipe's threads) "
                "%.2f ms, X server %.2f ms\n",
                mainCPU * perFrame, processCPU * perFrame, std::max(serverShare, 0.0) * perFrame);

    for (const std::int64_t fps : {std::int64_t{60}, std::int64_t{1000}}) {
        const std::vector<double> samples = latencies(factory, area, fps, painter);
        std::printf("  repaint to frame, cap %lld fps: median %.1f ms, 95th percentile %.1f ms "
                    "(%zu of %d seen; polled every 1 ms)\n",
                    static_cast<long long>(fps), percentile(samples, 0.5),
                    percentile(samples, 0.95), samples.size(), latencySamples);
    }

    const ShmCopyCost shm = shmCopyCost(area.width, area.height, server);
    std::printf(
        "  XShmGetImage of the screen: %.2f ms wall, client CPU %.2f ms, X server %.2f ms\n",
        shm.wall, shm.client, shm.server);
    const double captureTotal = (processCPU + std::max(serverShare, 0.0)) * perFrame;
    std::printf("  ratio: main-thread CPU per frame / XShmGetImage wall = %.1f; all CPU per frame "
                "(process + server) / XShmGetImage (client + server) = %.1f\n",
                mainCPU * perFrame / shm.wall,
                captureTotal / std::max(shm.client + shm.server, 1e-3));
}

// An Xvfb of this size on a free display; its pid and display, or pid 0.
std::pair<pid_t, std::string> startXvfb(const std::string& size) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {0, {}};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // gone with the benchmark, however it ends
        close(fds[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = size + "x24";
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        return {0, {}};
    }
    return {pid, ":" + number};
}

int measureHere(int argc, char** argv, const char* label, pid_t server) {
    XInitThreads();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const QGuiApplication app(argc, argv);
    measure(label, server);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Child mode: measure the display in $DISPLAY, whose server has this pid.
    if (argc >= 3 && std::string(argv[1]) == "--child") {
        return measureHere(1, argv, argv[2], static_cast<pid_t>(std::atoi(argv[3])));
    }
    if (argc >= 2 && std::string(argv[1]) == "--here") {
        return measureHere(1, argv, std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "?", 0);
    }
    for (const std::string size : {"1512x982", "2880x1800"}) {
        const auto [server, display] = startXvfb(size);
        if (server == 0) {
            std::printf("Xvfb did not start: install xvfb, or run with --here on a display\n");
            return 0;
        }
        const pid_t child = fork();
        if (child == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            const std::string pid = std::to_string(server);
            execl("/proc/self/exe", argv[0], "--child", ("Xvfb " + size).c_str(), pid.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        waitpid(child, nullptr, 0);
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    return 0;
}
