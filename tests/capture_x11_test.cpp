// SPDX-License-Identifier: MIT
// X11 capture on a private Xvfb: another client's windows over a wallpaper,
// moved, repainted and destroyed, under windows of this process; the frames
// are read back from the delivered textures and saved under build/e2e/.
#include <epoxy/gl.h>

#include "capture/X11CaptureFault.h"
#include "capture/linux/X11CaptureFactory.h"
#include "offscreen/linux/CannedDesktop.h"
#include "platform/QtScheduler.h"
#include "render/linux/OverlayPanel.h"
#include "render/linux/PanelSource.h"
#include "support/Doubles.h"
#include "support/EventLoop.h"
#include "support/XvfbDesktop.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <QRasterWindow>
#include <QThread>

#include <doctest/doctest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

using namespace orvane;
using orvane::test::Notes;

namespace {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb&) const = default;
    unsigned long pixel() const { return (r << 16) | (g << 8) | b; }
    bool near(const Rgb& other, int slack) const {
        return std::abs(r - other.r) <= slack && std::abs(g - other.g) <= slack &&
               std::abs(b - other.b) <= slack;
    }
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}

constexpr Rgb wallpaper{0x20, 0x40, 0x60};
constexpr Rgb red{0xd0, 0x30, 0x30};
constexpr Rgb green{0x30, 0xa0, 0x40};
constexpr Rgb blue{0x30, 0x50, 0xd0};
constexpr Rgb yellow{0xe0, 0xd0, 0x20};
constexpr Rgb magenta{0xff, 0x00, 0xff}; // only this process draws it
constexpr Rgb cyan{0x00, 0xff, 0xff};    // likewise

// Xvfb, Qt on it and a GL 3.3 core context: one per process.
struct Session {
    test::XvfbDesktop desktop{"1512x982x24"};
    int argc = 1;
    char name[24] = "orvane_capture_x11_test";
    char* argv[2] = {name, nullptr};
    QGuiApplication app{argc, argv};
    QOffscreenSurface surface;
    QOpenGLContext context;
    QtScheduler scheduler;

    Session() {
        QSurfaceFormat format;
        format.setVersion(3, 3);
        format.setProfile(QSurfaceFormat::CoreProfile);
        surface.setFormat(format);
        surface.create();
        context.setFormat(format);
        REQUIRE(context.create());
        REQUIRE(context.makeCurrent(&surface));
    }
};

Session& session() {
    static Session instance;
    return instance;
}

bool waitUntil(const std::function<bool()>& done, double seconds = 5) {
    return test::spinUntil(done, seconds);
}

void pump(double seconds) {
    waitUntil([] { return false; }, seconds);
}

// Windows of another client, as any application's would be.
class OtherClient {
public:
    OtherClient() : display_(XOpenDisplay(nullptr)) { REQUIRE(display_ != nullptr); }
    ~OtherClient() { XCloseDisplay(display_); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    Window window(int x, int y, int width, int height, Rgb colour) {
        const Window window =
            XCreateSimpleWindow(display_, root(), x, y, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 0, 0, colour.pixel());
        XMapWindow(display_, window);
        XFlush(display_);
        return window;
    }
    // A 32-bit window filled with one premultiplied ARGB value.
    Window translucent(int x, int y, int width, int height, unsigned long argb) {
        XVisualInfo visual{};
        REQUIRE(XMatchVisualInfo(display_, DefaultScreen(display_), 32, TrueColor, &visual));
        XSetWindowAttributes attributes{};
        attributes.colormap = XCreateColormap(display_, root(), visual.visual, AllocNone);
        attributes.background_pixel = argb;
        attributes.border_pixel = 0;
        const Window window = XCreateWindow(
            display_, root(), x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
            32, InputOutput, visual.visual, CWColormap | CWBackPixel | CWBorderPixel, &attributes);
        XMapWindow(display_, window);
        XFlush(display_);
        return window;
    }
    void fill(Window window, Rgb colour) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display_, window, &attributes);
        const GC gc = XCreateGC(display_, window, 0, nullptr);
        XSetForeground(display_, gc, colour.pixel());
        XFillRectangle(display_, window, gc, 0, 0, static_cast<unsigned>(attributes.width),
                       static_cast<unsigned>(attributes.height));
        XFreeGC(display_, gc);
        XFlush(display_);
    }
    void move(Window window, int x, int y) {
        XMoveWindow(display_, window, x, y);
        XFlush(display_);
    }
    void destroy(Window window) {
        XDestroyWindow(display_, window);
        XFlush(display_);
    }
    // What a wallpaper setter leaves: a root-sized pixmap named on the root.
    // The resource bases of every client connected now.
    std::vector<XID> clients() {
        int count = 0;
        XResClient* list = nullptr;
        std::vector<XID> bases;
        if (XResQueryClients(display_, &count, &list)) {
            for (int i = 0; i < count; ++i) {
                bases.push_back(list[i].resource_base);
            }
            XFree(list);
        }
        return bases;
    }
    void kill(XID client) {
        XKillClient(display_, client);
        XSync(display_, False);
    }
    // Names any id as the wallpaper, as a stale one can name another client's window.
    void nameWallpaper(XID id) {
        const Atom property = XInternAtom(display_, "_XROOTPMAP_ID", False);
        XChangeProperty(display_, root(), property, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&id), 1);
        XFlush(display_);
    }
    void setWallpaper(Rgb colour) {
        const int screen = DefaultScreen(display_);
        const auto width = static_cast<unsigned>(DisplayWidth(display_, screen));
        const auto height = static_cast<unsigned>(DisplayHeight(display_, screen));
        const Pixmap pixmap = XCreatePixmap(display_, root(), width, height,
                                            static_cast<unsigned>(DefaultDepth(display_, screen)));
        const GC gc = XCreateGC(display_, pixmap, 0, nullptr);
        XSetForeground(display_, gc, colour.pixel());
        XFillRectangle(display_, pixmap, gc, 0, 0, width, height);
        XFreeGC(display_, gc);
        const Atom property = XInternAtom(display_, "_XROOTPMAP_ID", False);
        XChangeProperty(display_, root(), property, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pixmap), 1);
        XFlush(display_);
    }

private:
    Window root() const { return DefaultRootWindow(display_); }
    Display* display_;
};

// A window of this process, as the overlay is: Qt sets its _NET_WM_PID.
class OwnWindow final : public QRasterWindow {
public:
    OwnWindow(int x, int y, int width, int height) {
        setFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint);
        setGeometry(x, y, width, height);
        show();
        REQUIRE(waitUntil([this] { return isExposed(); }));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(0, 0), size()),
                                QColor(magenta.r, magenta.g, magenta.b));
    }
};

// One stream's sink and what reached it.
struct Stream {
    std::shared_ptr<CaptureFrameSlot> slot = [] {
        auto slot = std::make_shared<CaptureFrameSlot>();
        slot->liveGeneration = 1;
        return slot;
    }();
    std::vector<std::string> errors;
    std::shared_ptr<FrameSink> sink = std::make_shared<FrameSink>(
        slot, 1, [this](const std::string& message) { errors.push_back(message); });
    std::unique_ptr<CaptureBackend> backend;

    std::uint64_t frames() const { return slot->frameCounter; }
};

struct Rig {
    Session& s = session();
    Notes notes;
    std::vector<unsigned long> own;
    X11CaptureFactory factory{{s.scheduler, notes, s.context, s.surface,
                               [] { return std::string("screen"); }, [this] { return own; }}};

    CapturePreparation prepare() {
        std::optional<CaptureFactory::Prepared> result;
        factory.prepare([&](CaptureFactory::Prepared prepared) { result = std::move(prepared); });
        REQUIRE(waitUntil([&] { return result.has_value(); }));
        REQUIRE(result->ok());
        REQUIRE(result->value().has_value());
        return *result->value();
    }
    void start(Stream& stream, std::int64_t fps) {
        const CapturePreparation area = prepare();
        std::optional<CaptureFactory::Made> made;
        factory.makeBackend(area, fps, stream.sink,
                            [&](CaptureFactory::Made result) { made = std::move(result); });
        REQUIRE(waitUntil([&] { return made.has_value(); }));
        REQUIRE(made->ok());
        stream.backend = made->take();
        bool started = false;
        std::optional<CaptureError> error;
        stream.backend->start([&](std::optional<CaptureError> e) {
            started = true;
            error = e;
        });
        REQUIRE(waitUntil([&] { return started; }));
        REQUIRE_MESSAGE(!error, error->description());
    }
    void stop(Stream& stream) {
        bool stopped = false;
        stream.backend->stop([&] { stopped = true; });
        REQUIRE(waitUntil([&] { return stopped; }));
    }
};

QImage read(const FrameTexture& frame) {
    REQUIRE(session().context.makeCurrent(&session().surface));
    QImage image(frame.width(), frame.height(), QImage::Format_RGBA8888);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frame.textureName(),
                           0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // Row 0 of the frame is the screen's top row, as QImage's is.
    glReadPixels(0, 0, frame.width(), frame.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    return image;
}

Rgb at(const QImage& image, int x, int y) {
    const QColor colour = image.pixelColor(x, y);
    return {colour.red(), colour.green(), colour.blue()};
}

int count(const QImage& image, Rgb colour) {
    int found = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            found += at(image, x, y) == colour ? 1 : 0;
        }
    }
    return found;
}

// The first frame after `after` that shows `shown`, or the last one seen; saved as PNG.
QImage awaitPicture(Stream& stream, std::uint64_t after,
                    const std::function<bool(const QImage&)>& shown, const std::string& name) {
    QImage last;
    std::uint64_t seen = after;
    waitUntil([&] {
        if (stream.frames() == seen) {
            return false;
        }
        seen = stream.frames();
        last = read(*stream.slot->frame->texture);
        return shown(last);
    });
    REQUIRE_FALSE(last.isNull());
    std::filesystem::create_directories(ORVANE_E2E_DIR);
    last.save(QString::fromStdString(std::string(ORVANE_E2E_DIR) + "/" + name + ".png"));
    return last;
}

} // namespace

TEST_CASE("frames show other clients' windows over the wallpaper, follow moves and repaints, "
          "and never show this process's windows") {
    Rig rig;
    OtherClient other;
    other.setWallpaper(wallpaper);
    other.window(100, 100, 300, 200, red);
    other.window(500, 150, 300, 250, green);
    const Window moving = other.window(200, 500, 200, 150, blue);
    // Half-transparent blue, premultiplied, over the green window.
    other.translucent(650, 300, 100, 60, 0x80000080);
    rig.own.push_back(other.window(1100, 100, 200, 200, cyan));
    const OwnWindow overlay(150, 120, 600, 300);

    CHECK(rig.prepare() == CapturePreparation{"screen", 0, 0, 1512, 982});
    Stream stream;
    rig.start(stream, 60);
    const QImage first = awaitPicture(
        stream, 0,
        [](const QImage& image) {
            return at(image, 250, 550) == blue && at(image, 200, 150) == red;
        },
        "capture-windows");
    CHECK(first.size() == QSize(1512, 982));
    CHECK(at(first, 20, 20) == wallpaper);
    CHECK(at(first, 200, 150) == red); // under this process's window
    CHECK(at(first, 600, 200) == green);
    CHECK(at(first, 250, 550) == blue);
    CHECK(at(first, 1150, 150) == wallpaper); // a window named as ours
    // Premultiplied "over": the blue half plus half of the green beneath.
    const auto over = [](int source, int below) { return source + below * (255 - 0x80) / 255; };
    CHECK(at(first, 700, 330).near({over(0, green.r), over(0, green.g), over(0x80, green.b)}, 2));
    CHECK(count(first, magenta) == 0);
    CHECK(count(first, cyan) == 0);

    const std::uint64_t before = stream.frames();
    other.move(moving, 900, 500);
    other.fill(moving, yellow);
    const QImage moved = awaitPicture(
        stream, before, [](const QImage& image) { return at(image, 950, 550) == yellow; },
        "capture-moved");
    CHECK(at(moved, 950, 550) == yellow);
    CHECK(at(moved, 250, 550) == wallpaper);
    CHECK(count(moved, magenta) == 0);
    CHECK(stream.errors.empty());
}

TEST_CASE("frames come only after a change, at most fps a second") {
    Rig rig;
    OtherClient other;
    const Window window = other.window(300, 300, 400, 300, red);
    Stream stream;
    rig.start(stream, 20);
    awaitPicture(
        stream, 0, [](const QImage& image) { return at(image, 400, 400) == red; }, "capture-still");
    pump(0.2);
    const std::uint64_t settled = stream.frames();
    pump(0.3);
    CHECK(stream.frames() == settled);

    // Repainted about every 5 ms for half a second.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; clock.elapsed() < 500; ++i) {
        other.fill(window, i % 2 == 0 ? green : blue);
        pump(0.005);
    }
    pump(0.1);
    const std::uint64_t made = stream.frames() - settled;
    CHECK(made >= 3);
    CHECK(made <= 20 * 0.6 + 1);
}

TEST_CASE("windows destroyed between frames are skipped without an error") {
    Rig rig;
    OtherClient other;
    const Window kept = other.window(100, 100, 300, 300, red);
    const Window doomed = other.window(600, 100, 300, 300, green);
    Stream stream;
    rig.start(stream, 60);
    awaitPicture(
        stream, 0, [](const QImage& image) { return at(image, 700, 200) == green; },
        "capture-before-destroy");

    other.destroy(doomed);
    // Windows that live for a moment: mapped, drawn and gone before or while
    // the stream looks at them.
    for (int i = 0; i < 20; ++i) {
        const Window brief = other.window(200 + 10 * i, 450, 200, 200, blue);
        other.fill(brief, yellow);
        if (i % 2 == 0) {
            pump(0.01);
        }
        other.destroy(brief);
    }
    const std::uint64_t before = stream.frames();
    other.fill(kept, yellow);
    const QImage after = awaitPicture(
        stream, before,
        [](const QImage& image) {
            return at(image, 200, 200) == yellow && at(image, 700, 200) == Rgb{} &&
                   at(image, 300, 550) == Rgb{};
        },
        "capture-after-destroy");
    CHECK(at(after, 200, 200) == yellow);
    CHECK(at(after, 700, 200) == Rgb{}); // black: no wallpaper set
    CHECK(at(after, 300, 550) == Rgb{});
    CHECK(stream.errors.empty());
}

TEST_CASE("a wallpaper id that names a window instead of a pixmap is not drawn") {
    Rig rig;
    OtherClient other;
    const Window window = other.window(100, 100, 300, 300, red);
    other.nameWallpaper(window);
    Stream stream;
    rig.start(stream, 60);
    const QImage picture = awaitPicture(
        stream, 0, [](const QImage& image) { return at(image, 200, 200) == red; },
        "capture-stale-wallpaper");
    CHECK(at(picture, 200, 200) == red);
    CHECK(at(picture, 20, 20) == Rgb{});
    CHECK(at(picture, 1000, 700) == Rgb{});
}

TEST_CASE("frames stop after stop, and a second stream after it works") {
    Rig rig;
    OtherClient other;
    const Window window = other.window(100, 100, 300, 300, red);
    Stream first;
    rig.start(first, 60);
    awaitPicture(
        first, 0, [](const QImage& image) { return at(image, 200, 200) == red; },
        "capture-first-stream");
    rig.stop(first);
    const std::uint64_t stopped = first.frames();
    other.fill(window, green);
    pump(0.3);
    CHECK(first.frames() == stopped);

    Stream second;
    rig.start(second, 60);
    const QImage again = awaitPicture(
        second, 0, [](const QImage& image) { return at(image, 200, 200) == green; },
        "capture-second-stream");
    CHECK(at(again, 200, 200) == green);
    CHECK(first.errors.empty());
    CHECK(second.errors.empty());
}

TEST_CASE("a stream whose OpenGL context goes away fails with the reason") {
    Rig rig;
    OtherClient other;
    other.window(100, 100, 300, 300, red);
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(rig.s.context.format());
    REQUIRE(context->create());
    X11CaptureFactory factory{{rig.s.scheduler,
                               rig.notes,
                               *context,
                               rig.s.surface,
                               [] { return std::string("screen"); },
                               {}}};
    Stream stream;
    std::optional<CaptureFactory::Made> made;
    factory.makeBackend(rig.prepare(), 60, stream.sink,
                        [&](CaptureFactory::Made result) { made = std::move(result); });
    REQUIRE(waitUntil([&] { return made.has_value(); }));
    stream.backend = made->take();
    stream.backend->start([](std::optional<CaptureError>) {});
    REQUIRE(waitUntil([&] { return stream.frames() > 0; }));

    context.reset();
    CHECK(stream.errors == std::vector{describe(X11CaptureFault::contextLost)});
    const std::uint64_t frames = stream.frames();
    other.window(500, 100, 100, 100, green);
    pump(0.2);
    CHECK(stream.frames() == frames);
}

TEST_CASE("a stream whose X connection breaks fails with the reason, and the process lives on") {
    Rig rig;
    OtherClient other;
    other.window(100, 100, 300, 300, red);
    const std::vector<XID> before = other.clients();
    Stream stream;
    rig.start(stream, 60);
    awaitPicture(
        stream, 0, [](const QImage& image) { return at(image, 200, 200) == red; },
        "capture-before-disconnect");
    // The stream's own connection is the one client that came with it.
    std::vector<XID> added;
    for (const XID client : other.clients()) {
        if (std::find(before.begin(), before.end(), client) == before.end()) {
            added.push_back(client);
        }
    }
    REQUIRE(added.size() == 1);
    other.kill(added[0]);
    REQUIRE(waitUntil([&] { return !stream.errors.empty(); }));
    CHECK(stream.errors == std::vector{describe(X11CaptureFault::displayLost)});

    Stream next;
    rig.start(next, 60);
    awaitPicture(
        next, 0, [](const QImage& image) { return at(image, 200, 200) == red; },
        "capture-after-disconnect");
    CHECK(next.errors.empty());
}

TEST_CASE("without an X display the factory says once that capture is unavailable") {
    Session& s = session();
    Notes notes;
    X11CaptureFactory factory{
        {s.scheduler, notes, s.context, s.surface, [] { return std::string(); }, {}, nullptr}};
    const CaptureError expected{CaptureError::Kind::streamFailed,
                                describe(X11CaptureFault::notX11)};
    std::optional<CaptureFactory::Prepared> prepared;
    factory.prepare([&](CaptureFactory::Prepared result) { prepared = std::move(result); });
    std::optional<CaptureFactory::Made> made;
    auto sink = std::make_shared<FrameSink>(std::weak_ptr<CaptureFrameSlot>(), 1, nullptr);
    factory.makeBackend({"screen", 0, 0, 10, 10}, 60, sink,
                        [&](CaptureFactory::Made result) { made = std::move(result); });
    REQUIRE(waitUntil([&] { return prepared && made; }));
    REQUIRE_FALSE(prepared->ok());
    CHECK(prepared->error() == expected);
    REQUIRE_FALSE(made->ok());
    CHECK(made->error() == expected);
    CHECK(factory.preflight());
    CHECK_FALSE(factory.builtInScreen());
    REQUIRE(notes.lines.size() == 1);
    CHECK(notes.lines[0].rfind("capture: ", 0) == 0);
}

TEST_CASE("the overlay panel over the whole screen never reaches the captured frames") {
    Rig rig;
    OtherClient other;
    other.setWallpaper(wallpaper);
    other.window(100, 100, 300, 200, red);
    const CannedDesktop desktop(1512, 982);
    auto source = std::make_shared<PanelSource>([] { return std::optional<FrameBox>(); },
                                                SampleImage{1512, 982, desktop.bytes()});
    OverlayPanelHooks hooks;
    hooks.frame = [](double) {
        FoldFrameParams folded;
        folded.angle = 60;
        return std::optional(folded);
    };
    hooks.source = [source] { return (*source)(); };
    hooks.releaseGl = [source] { source->releaseGl(); };
    OverlayPanel panel(QRect(0, 0, 1512, 982), QSize(1512, 982), std::move(hooks));
    panel.showFrozen();
    REQUIRE(waitUntil([&] { return panel.drawCount() > 0 && panel.isExposed(); }));

    Stream stream;
    rig.start(stream, 60);
    const QImage frame = awaitPicture(
        stream, 0, [](const QImage& image) { return at(image, 200, 150) == red; },
        "capture-under-panel");
    // Were the panel in it, its folded sample desktop would be everywhere.
    CHECK(at(frame, 200, 150) == red);
    CHECK(at(frame, 20, 20) == wallpaper);
    CHECK(at(frame, 1000, 700) == wallpaper);
    CHECK(count(frame, red) == 300 * 200);
}
