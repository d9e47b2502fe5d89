// SPDX-License-Identifier: MIT
#include "display/linux/CompositorFoldDisplay.h"

#include "capture/BuiltInDisplay.h"
#include "capture/linux/SessionScreens.h"
#include "core/Tuning.h"
#include "display/FoldContract.h"
#include "platform/SealedFile.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include <unistd.h>

#include <cmath>
#include <span>

namespace orvane {

namespace {

int milliseconds(double seconds) {
    return static_cast<int>(std::lround(seconds * 1000.0));
}

} // namespace

CompositorFoldDisplay::CompositorFoldDisplay(const QDBusConnection& bus, Ports ports)
    : ports_(std::move(ports)), fold_(QString::fromUtf8(FoldContract::busName),
                                      QString::fromUtf8(FoldContract::objectPath), bus),
      watcher_(QString::fromUtf8(FoldContract::busName), bus,
               QDBusServiceWatcher::WatchForRegistration |
                   QDBusServiceWatcher::WatchForUnregistration) {
    timer_.setTimerType(Qt::PreciseTimer);
    reload_.setInterval(milliseconds(Tuning::compositorReloadInterval));
    connect(&reload_, &QTimer::timeout, this, [this] {
        if (ports_.reload) {
            ports_.reload();
        }
    });
    connect(&timer_, &QTimer::timeout, this, &CompositorFoldDisplay::tick);
    connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this,
            [this] { pluginChanged(true); });
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { pluginChanged(false); });
    connect(&fold_, &FoldInterface::Ended, this, [this](const QString& reason) {
        ports_.log.note("display", "The compositor ended the fold: " + reason.toStdString());
        sentLook_.reset();
        if (client_ != nullptr) {
            client_->desktopFailed();
        }
    });
    connect(&fold_, &FoldInterface::EscapePressed, this, [this] {
        if (watchingEscape_ && onEscape) {
            onEscape();
        }
    });
    connect(&fold_, &FoldInterface::ActiveAppChanged, this, [this](const QString& app) {
        if (activeAppChanged_) {
            activeAppChanged_(app.toStdString());
        }
    });
    present_ = checkPlugin();
}

bool CompositorFoldDisplay::checkPlugin() {
    QDBusConnectionInterface* names = fold_.connection().interface();
    if (names == nullptr || names->serviceOwner(QString::fromUtf8(FoldContract::busName)).value() !=
                                names->serviceOwner(ports_.compositor).value()) {
        return false;
    }
    const QString problem = fold_.problem();
    refusal_ = problem.isEmpty() ? std::nullopt : std::optional(problem.toStdString());
    return true;
}

CompositorFoldDisplay::~CompositorFoldDisplay() {
    // A fold left behind would settle by itself; ending it now is quicker.
    if (sentLook_) {
        fold_.End();
    }
}

void CompositorFoldDisplay::prepare() {
    output_.reset();
    const std::optional<BuiltInDisplay::Screen> found =
        BuiltInDisplay::find(sessionScreens(), ports_.chosenScreen());
    if (!found) {
        return;
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->name().toStdString() == found->name) {
            const QSize logical = screen->geometry().size();
            const double scale = screen->devicePixelRatio();
            output_ = Output{found->name,
                             QSize(static_cast<int>(std::lround(logical.width() * scale)),
                                   static_cast<int>(std::lround(logical.height() * scale))),
                             screen->refreshRate()};
        }
    }
}

std::optional<DisplayProblem> CompositorFoldDisplay::problem() const {
    if (!present_ || refusal_) {
        return DisplayProblem::unsupportedSession;
    }
    return output_ ? std::nullopt : std::optional(DisplayProblem::noScreen);
}

void CompositorFoldDisplay::followActiveApp(std::function<void(const std::string&)> changed) {
    activeAppChanged_ = std::move(changed);
    if (present_ && activeAppChanged_) {
        activeAppChanged_(fold_.activeApp().toStdString());
    }
}

std::optional<std::string> CompositorFoldDisplay::pluginProblem() const {
    if (refusal_) {
        return refusal_;
    }
    if (!present_) {
        return "The compositor's Orvane plug-in is not running.";
    }
    return std::nullopt; // its Problem was read into the refusal when it was found
}

std::optional<std::int64_t> CompositorFoldDisplay::maxFPS() const {
    if (!output_) {
        return std::nullopt;
    }
    BuiltInDisplay::Screen screen;
    screen.refreshRate = output_->refreshRate;
    return BuiltInDisplay::maxFPS(screen);
}

void CompositorFoldDisplay::showLive(std::int64_t fps) {
    setFrameRate(fps);
    if (mode_ != Mode::live) {
        enter(Mode::live);
    }
}

void CompositorFoldDisplay::showFrozen() {
    // The controller says so at every step while the cover holds.
    if (mode_ != Mode::frozen) {
        enter(Mode::frozen);
    }
}

void CompositorFoldDisplay::hide() {
    enter(Mode::hidden);
}

void CompositorFoldDisplay::setFrameRate(std::int64_t fps) {
    fps_ = std::max<std::int64_t>(1, fps);
    if (mode_ == Mode::live) {
        timer_.setInterval(milliseconds(1.0 / static_cast<double>(fps_)));
    }
}

void CompositorFoldDisplay::enter(Mode mode) {
    const Mode was = mode_;
    mode_ = mode;
    if (mode == Mode::hidden) {
        timer_.stop();
        if (sentLook_) {
            fold_.End();
            sentLook_.reset();
        }
        return;
    }
    if (!output_ || !present_) {
        mode_ = Mode::hidden;
        return;
    }
    if (sentLook_ && (was == Mode::frozen) != (mode == Mode::frozen)) {
        fold_.Freeze(mode == Mode::frozen);
    }
    timer_.start(mode == Mode::live ? milliseconds(1.0 / static_cast<double>(fps_))
                                    : milliseconds(Tuning::compositorKeepAlive));
    tick();
}

void CompositorFoldDisplay::tick() {
    const double ahead = mode_ == Mode::live ? 1.0 / static_cast<double>(fps_) : 0.0;
    const std::optional<FoldFrameParams> frame =
        client_ != nullptr ? client_->frameAt(ports_.now() + ahead) : std::nullopt;
    if (!frame) {
        enter(Mode::hidden);
        return;
    }
    send(*frame);
}

void CompositorFoldDisplay::send(const FoldFrameParams& frame) {
    if (sentLook_ != frame.look) {
        const bool starting = !sentLook_;
        const FoldContract::WireLook look = FoldContract::toWire(frame.look);
        auto* call = new QDBusPendingCallWatcher(
            fold_.Begin(QString::fromUtf8(output_->name), QString::fromStdString(look.style),
                        look.perspective, look.blur, look.shadow, look.clearAngle,
                        look.reduceMotion),
            this);
        if (starting) {
            ++foldSerial_;
        }
        connect(call, &QDBusPendingCallWatcher::finished, this,
                [this, serial = foldSerial_](QDBusPendingCallWatcher* done) {
                    // A refusal of a fold already over says nothing of the one now.
                    if (done->isError() && serial == foldSerial_ && sentLook_) {
                        refused(done->error());
                    }
                    done->deleteLater();
                });
        sentLook_ = frame.look;
        if (starting) {
            fold_.Freeze(mode_ == Mode::frozen);
            fold_.WatchEscape(watchingEscape_);
            keptAbove_ = false;
            if (dressing_) {
                dress();
            }
        }
    }
    const bool above = ports_.ownWindowsAbove && ports_.ownWindowsAbove();
    if (above != keptAbove_) {
        fold_.KeepAbove(above);
        keptAbove_ = above;
    }
    const FoldContract::WireFrame wire = FoldContract::toWire(frame);
    fold_.Update(wire.angle, wire.scripted, wire.sheetAngle, wire.velocity, wire.opacity,
                 wire.targetTime);
}

void CompositorFoldDisplay::refused(const QDBusError& error) {
    // The controller tries again at its next step: the same refusal is noted once.
    const std::string said = error.message().toStdString();
    if (said != lastRefusal_) {
        ports_.log.note("display", "The compositor refused the fold: " + said);
        lastRefusal_ = said;
    }
    // Failed is the plug-in's own problem; a bad argument or another program's fold pass.
    if (error.type() == QDBusError::Failed) {
        refusal_ = error.message().toStdString();
    }
    sentLook_.reset();
    enter(Mode::hidden);
    if (client_ != nullptr) {
        client_->desktopFailed();
    }
}

void CompositorFoldDisplay::pluginChanged(bool present) {
    refusal_.reset();
    present_ = present && checkPlugin();
    sentLook_.reset();
    if (!present_) {
        enter(Mode::hidden);
        reload_.start();
    } else {
        reload_.stop();
        if (activeAppChanged_) {
            activeAppChanged_(fold_.activeApp().toStdString());
        }
    }
    if (client_ != nullptr) {
        client_->desktopFailed();
    }
}

void CompositorFoldDisplay::watchEscape(bool watch) {
    watchingEscape_ = watch;
    if (sentLook_) {
        fold_.WatchEscape(watch);
    }
}

int CompositorFoldDisplay::width() const {
    return output_ ? output_->pixels.width() : 0;
}

int CompositorFoldDisplay::height() const {
    return output_ ? output_->pixels.height() : 0;
}

void CompositorFoldDisplay::setCoverDressing(std::optional<CoverDressing> dressing) {
    dressing_ = dressing;
    if (!sentLook_) {
        return; // sent when the fold begins
    }
    if (dressing_) {
        dress();
    } else {
        fold_.Undress();
    }
}

void CompositorFoldDisplay::dress() {
    if (!output_ || !ports_.paintCover) {
        return;
    }
    QImage picture(output_->pixels, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        ports_.paintCover(painter, picture.size(), *dressing_);
    }
    const int fd = sealedMemoryFile(
        "orvane-cover", std::as_bytes(std::span(picture.constBits(),
                                                static_cast<std::size_t>(picture.sizeInBytes()))));
    if (fd < 0) {
        ports_.log.note("display", "The cover's picture could not be handed to the compositor.");
        return;
    }
    const QDBusUnixFileDescriptor file(fd); // holds a copy
    ::close(fd);
    auto* call = new QDBusPendingCallWatcher(fold_.Dress(file, picture.width(), picture.height(),
                                                         static_cast<int>(picture.bytesPerLine())),
                                             this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        if (done->isError()) {
            const std::string said = done->error().message().toStdString();
            if (said != lastRefusal_) {
                ports_.log.note("display", "The compositor refused the cover: " + said);
                lastRefusal_ = said;
            }
        }
        done->deleteLater();
    });
}

} // namespace orvane
