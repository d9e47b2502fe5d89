// SPDX-License-Identifier: MIT
#include "FoldEffect.h"

#include "foldadaptor.h"
#include "platform/MonotonicClock.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QKeyEvent>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <limits>

namespace orvane {

namespace {

// Late in the chain: effects earlier in it (the screenshot effect among them) wrap this one's
// painting, so what they read holds the fold.
constexpr int chainPosition = 99;
// How often the effect listens for silence while a fold runs.
constexpr std::chrono::milliseconds watchdogTick{50};

QString qString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QSize nativeSize(const kwin::Screen* screen) {
#if ORVANE_KWIN6
    const double scale = screen->scale();
#else
    const double scale = screen->devicePixelRatio();
#endif
    const QRect rect = screen->geometry();
    return {static_cast<int>(std::lround(rect.width() * scale)),
            static_cast<int>(std::lround(rect.height() * scale))};
}

// The desktop-entry id a window's application goes by: Wayland's app_id, the class of
// an X11 window.
QString appOf(KWin::EffectWindow* window) {
    if (window == nullptr) {
        return {};
    }
    const QStringList parts = window->windowClass().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return parts.isEmpty() ? QString() : parts.last();
}

// The whole picture from a descriptor a stranger may hand over: only a memory file sealed
// against shrinking and writing is read. A pipe, a FUSE file or a hung network file could
// stall the compositor, and a file that shrinks under the reader could end it.
std::optional<std::vector<std::uint8_t>> readPicture(int fd, int width, int height, int stride) {
    constexpr int sealed = F_SEAL_SHRINK | F_SEAL_WRITE;
    struct stat info {};
    const int seals = fcntl(fd, F_GET_SEALS);
    if (seals < 0 || (seals & sealed) != sealed || fstat(fd, &info) != 0 ||
        !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    const auto need = static_cast<off_t>(stride) * height;
    if (info.st_size < need) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        std::uint8_t* out = pixels.data() + rowBytes * static_cast<std::size_t>(row);
        const off_t at = static_cast<off_t>(stride) * row;
        if (pread(fd, out, rowBytes, at) != static_cast<ssize_t>(rowBytes)) {
            return std::nullopt;
        }
    }
    return pixels;
}

} // namespace

FoldEffect::FoldEffect() {
    new FoldAdaptor(this);
    driverWatch_.setConnection(QDBusConnection::sessionBus());
    driverWatch_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&driverWatch_, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { endFold(QStringLiteral("Orvane left the session bus.")); });
    watchdog_.setInterval(watchdogTick);
    connect(&watchdog_, &QTimer::timeout, this, &FoldEffect::checkSilence);
    connect(KWin::effects, &KWin::EffectsHandler::windowActivated, this,
            &FoldEffect::windowActivated);
    connect(KWin::effects, &KWin::EffectsHandler::screenRemoved, this, &FoldEffect::screenRemoved);
    activeApp_ = appOf(KWin::effects->activeWindow());

    if (!KWin::effects->isOpenGLCompositing()) {
        problem_ = QStringLiteral("KWin is not compositing with OpenGL, so the fold cannot be "
                                  "drawn.");
    } else if (!KWin::effects->makeOpenGLContextCurrent()) {
        problem_ = QStringLiteral("KWin's OpenGL context could not be made current.");
    } else {
        auto painter = SheetPainter::create();
        if (painter) {
            painter_ = std::make_unique<SheetPainter>(painter.take());
        } else {
            problem_ = QStringLiteral("The fold's shaders did not build in KWin: ") +
                       QString::fromStdString(painter.error());
        }
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerObject(qString(FoldContract::objectPath), this);
    if (!bus.registerService(qString(FoldContract::busName))) {
        problem_ = QStringLiteral("Another program holds ") + qString(FoldContract::busName) +
                   QStringLiteral(" on the session bus.");
    }
}

FoldEffect::~FoldEffect() {
    if (grabbed_) {
        KWin::effects->ungrabKeyboard();
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(qString(FoldContract::busName));
    bus.unregisterObject(qString(FoldContract::objectPath));
    if (painter_ && KWin::effects->makeOpenGLContextCurrent()) {
        painter_.reset();
    } else {
        // Without the context the names cannot be given back: they go with the context.
        (void)painter_.release();
    }
}

bool FoldEffect::isActive() const {
    return track_.isActive() && painter_ != nullptr;
}

int FoldEffect::requestedEffectChainPosition() const {
    return chainPosition;
}

uint FoldEffect::version() const {
    return FoldContract::version;
}

QString FoldEffect::compositor() const {
    return QStringLiteral("KWin ") + QStringLiteral(KWIN_PLUGIN_VERSION_STRING);
}

void FoldEffect::prePaintScreen(KWin::ScreenPrePaintData& data,
                                std::chrono::milliseconds presentTime) {
    presentTime_ = std::chrono::duration<double>(presentTime).count();
    // The whole output is drawn anew: the sheet moves over all of it.
    data.mask |= PAINT_SCREEN_TRANSFORMED;
    KWin::effects->prePaintScreen(data, presentTime);
}

// Windows kept above are left out of the desktop the fold folds, then drawn over the fold.
constexpr int aboveMask = KWin::Effect::PAINT_WINDOW_TRANSLUCENT;

#if ORVANE_KWIN6
void FoldEffect::paintScreen(const KWin::RenderTarget& renderTarget,
                             const KWin::RenderViewport& viewport, int mask, const QRegion& region,
                             KWin::Output* screen) {
    const std::optional<FoldFrameParams> frame = frameFor(screen);
    above_ = frame ? windowsAbove() : QList<KWin::EffectWindow*>();
    KWin::effects->paintScreen(renderTarget, viewport, mask, region, screen);
    if (frame) {
        paintFold(*frame, viewport.renderRect().toRect(), viewport.scale());
        drawingAbove_ = true;
        for (KWin::EffectWindow* window : std::as_const(above_)) {
            KWin::WindowPaintData data;
            KWin::effects->drawWindow(renderTarget, viewport, window, aboveMask,
                                      KWin::infiniteRegion(), data);
        }
        drawingAbove_ = false;
    }
    above_.clear();
}

void FoldEffect::paintWindow(const KWin::RenderTarget& renderTarget,
                             const KWin::RenderViewport& viewport, KWin::EffectWindow* window,
                             int mask, QRegion region, KWin::WindowPaintData& data) {
    if (drawingAbove_ || !above_.contains(window)) {
        KWin::effects->paintWindow(renderTarget, viewport, window, mask, region, data);
    }
}
#else
void FoldEffect::paintScreen(int mask, const QRegion& region, KWin::ScreenPaintData& data) {
    const std::optional<FoldFrameParams> frame = frameFor(data.screen());
    above_ = frame ? windowsAbove() : QList<KWin::EffectWindow*>();
    KWin::effects->paintScreen(mask, region, data);
    if (frame) {
        paintFold(*frame, KWin::effects->renderTargetRect(), KWin::effects->renderTargetScale());
        drawingAbove_ = true;
        for (KWin::EffectWindow* window : std::as_const(above_)) {
            KWin::WindowPaintData above(data.projectionMatrix());
            KWin::effects->drawWindow(window, aboveMask, KWin::infiniteRegion(), above);
        }
        drawingAbove_ = false;
    }
    above_.clear();
}

void FoldEffect::paintWindow(KWin::EffectWindow* window, int mask, QRegion region,
                             KWin::WindowPaintData& data) {
    if (drawingAbove_ || !above_.contains(window)) {
        KWin::effects->paintWindow(window, mask, region, data);
    }
}
#endif

std::optional<FoldFrameParams> FoldEffect::frameFor(const kwin::Screen* screen) const {
    if (!painter_ || output_ == nullptr || (screen != nullptr && screen != output_)) {
        return std::nullopt;
    }
    return track_.frameAt(presentTime_);
}

QList<KWin::EffectWindow*> FoldEffect::windowsAbove() const {
    QList<KWin::EffectWindow*> above;
    if (!keepAbove_ || owner_ <= 0 || !track_.isActive()) {
        return above;
    }
    for (KWin::EffectWindow* window : KWin::effects->stackingOrder()) {
        if (window->pid() == owner_ && !window->isDeleted() && !window->isMinimized() &&
            window->isOnCurrentDesktop()) {
            above.push_back(window);
        }
    }
    return above;
}

void FoldEffect::paintFold(const FoldFrameParams& frame, const QRect& targetRect, double scale) {
    if (undress_) {
        painter_->clearDressing();
        undress_ = false;
    }
    if (pendingDressing_) {
        painter_->setDressing(pendingDressing_->data(), pendingDressingSize_.width(),
                              pendingDressingSize_.height());
        pendingDressing_.reset();
    }
    const QRect output = output_->geometry();
    const auto device = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    GLint framebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
    const int left = device(output.x() - targetRect.x());
    const int top = device(output.y() - targetRect.y());
    const QSize size = nativeSize(output_);
    const int targetHeight = device(targetRect.height());
    painter_->draw(CompositorTarget{static_cast<GLuint>(framebuffer), left,
                                    targetHeight - top - size.height(), size.width(),
                                    size.height()},
                   frame, frozen_);
}

void FoldEffect::postPaintScreen() {
    // A held fold is drawn anew only when something changes (a frame, the picture, the fade),
    // not at every display frame.
    if (isActive() && !frozen_) {
        repaintOutput();
    }
    KWin::effects->postPaintScreen();
}

void FoldEffect::repaintOutput() {
    if (output_ != nullptr) {
        KWin::effects->addRepaint(output_->geometry());
    }
}

void FoldEffect::Begin(const QString& output, const QString& style, double perspective, double blur,
                       double shadow, double clearAngle, bool reduceMotion) {
    if (!problem_.isEmpty()) {
        sendErrorReply(QDBusError::Failed, problem_);
        return;
    }
    kwin::Screen* screen = KWin::effects->findScreen(output);
    if (screen == nullptr) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No output is named ") + output);
        return;
    }
    const std::optional<FoldLook> look = FoldContract::lookFromWire(
        {style.toStdString(), perspective, blur, shadow, clearAngle, reduceMotion});
    if (!look) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("The look is not one Orvane draws: ") + style);
        return;
    }
    if (!mayDrive()) {
        return;
    }
    if (output_ != nullptr && output_ != screen) {
        repaintOutput();
        frozen_ = false;
    }
    output_ = screen;
    if (calledFromDBus() && driver_ != message().service()) {
        takeDriver(message().service());
    }
    track_.begin(*look, monotonicSeconds());
    watchdog_.start();
    updateGrab();
    repaintOutput();
}

void FoldEffect::Update(double angle, bool scripted, double sheetAngle, double velocity,
                        double opacity, double targetTime) {
    if (calledFromDBus() && message().service() != driver_) {
        return; // only the program that began the fold moves it
    }
    if (track_.push({angle, scripted, sheetAngle, velocity, opacity, targetTime},
                    monotonicSeconds())) {
        repaintOutput();
    }
}

void FoldEffect::Freeze(bool frozen) {
    if (!mayDrive()) {
        return;
    }
    frozen_ = frozen;
    repaintOutput();
}

void FoldEffect::Dress(const QDBusUnixFileDescriptor& pixels, int width, int height, int stride) {
    if (!mayDrive()) {
        return;
    }
    if (output_ == nullptr) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("No fold is in progress."));
        return;
    }
    // Any size is scaled to the output (a client may not know the output's pixels at a
    // fractional scale); at most twice its size, which bounds what is read and kept.
    const QSize size = nativeSize(output_) * 2;
    const bool shaped = width > 0 && height > 0 && width <= size.width() &&
                        height <= size.height() && stride >= width * 4 &&
                        stride <= std::numeric_limits<int>::max() / height;
    std::optional<std::vector<std::uint8_t>> read =
        shaped && pixels.isValid() ? readPicture(pixels.fileDescriptor(), width, height, stride)
                                   : std::nullopt;
    if (!read) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("The cover's picture must be a sealed memory file "
                                      "of at most %1×%2 pixels.")
                           .arg(size.width())
                           .arg(size.height()));
        return;
    }
    pendingDressing_ = std::move(read);
    pendingDressingSize_ = QSize(width, height);
    repaintOutput();
}

void FoldEffect::Undress() {
    if (!mayDrive()) {
        return;
    }
    pendingDressing_.reset();
    undress_ = true; // in the next paint, where KWin's context is current
    repaintOutput();
}

bool FoldEffect::mayDrive() {
    // While a fold runs only the program that began it may change it.
    if (!calledFromDBus() || !track_.isActive() || message().service() == driver_) {
        return true;
    }
    sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Another program drives the fold."));
    return false;
}

void FoldEffect::takeDriver(const QString& service) {
    driver_ = service;
    owner_ = 0;
    driverWatch_.setWatchedServices({service});
    // The pid picks the windows kept above; asked without blocking the compositor.
    auto* call = new QDBusPendingCallWatcher(
        connection().interface()->asyncCall(QStringLiteral("GetConnectionUnixProcessID"), service),
        this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, service](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                if (reply.isValid() && service == driver_) {
                    owner_ = static_cast<pid_t>(reply.value());
                }
                done->deleteLater();
            });
}

void FoldEffect::End() {
    if (!mayDrive()) {
        return;
    }
    endFold({});
}

void FoldEffect::endFold(const QString& reason) {
    if (!track_.isActive()) {
        return;
    }
    repaintOutput();
    track_.end();
    output_ = nullptr;
    frozen_ = false;
    pendingDressing_.reset();
    watchdog_.stop();
    watchEscape_ = false;
    keepAbove_ = false;
    owner_ = 0;
    driver_.clear();
    driverWatch_.setWatchedServices({});
    updateGrab();
    if (painter_ && KWin::effects->makeOpenGLContextCurrent()) {
        painter_->clearDressing();
        painter_->releaseTextures();
    }
    if (!reason.isEmpty()) {
        Q_EMIT Ended(reason);
    }
}

void FoldEffect::WatchEscape(bool watch) {
    if (!mayDrive()) {
        return;
    }
    watchEscape_ = watch;
    updateGrab();
}

void FoldEffect::KeepAbove(bool keep) {
    if (!mayDrive()) {
        return;
    }
    keepAbove_ = keep;
    updateGrab();
    repaintOutput();
}

void FoldEffect::updateGrab() {
    // Windows kept above keep their keyboard.
    const bool want = watchEscape_ && !keepAbove_ && track_.isActive();
    if (want && !grabbed_) {
        grabbed_ = KWin::effects->grabKeyboard(this);
    } else if (!want && grabbed_) {
        KWin::effects->ungrabKeyboard();
        grabbed_ = false;
    }
}

void FoldEffect::grabbedKeyboardEvent(QKeyEvent* event) {
    if (event->type() == QEvent::KeyPress && event->key() == Qt::Key_Escape &&
        !event->isAutoRepeat()) {
        Q_EMIT EscapePressed();
    }
}

void FoldEffect::checkSilence() {
    const double now = monotonicSeconds();
    if (track_.settled(now)) {
        endFold(QStringLiteral("Orvane stopped sending frames."));
    } else if (frozen_ && track_.fading(now)) {
        repaintOutput();
    }
}

void FoldEffect::screenRemoved(kwin::Screen* screen) {
    if (screen == output_) {
        endFold(QStringLiteral("The output went away."));
    }
}

void FoldEffect::windowActivated(KWin::EffectWindow* window) {
    const QString app = appOf(window);
    if (app != activeApp_) {
        activeApp_ = app;
        Q_EMIT ActiveAppChanged(app);
    }
}

} // namespace orvane
