// SPDX-License-Identifier: MIT
// Orvane's fold inside KWin: the daemon begins a fold on an output, sends a
// frame value per display frame at most, holds it under a cover and ends it;
// this effect draws the composed output through the fold at each frame's
// presentation time. Other outputs are untouched. When the frames stop the
// sheet settles and clears by itself.
#pragma once

#include "KWinApi.h"
#include "SheetPainter.h"
#include "display/FrameTrack.h"

#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

class FoldEffect : public KWin::Effect, protected QDBusContext {
    Q_OBJECT
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString Compositor READ compositor)
    Q_PROPERTY(QString Problem READ problem)
    Q_PROPERTY(QString ActiveApp READ activeApp)

public:
    FoldEffect();
    ~FoldEffect() override;

    bool isActive() const override;
    // Late in the chain: the screenshot effect and the screen recorder see the fold.
    int requestedEffectChainPosition() const override;
    void prePaintScreen(KWin::ScreenPrePaintData& data,
                        std::chrono::milliseconds presentTime) override;
    ORVANE_KWIN_PAINT_SCREEN_DECLARATION;
    ORVANE_KWIN_PAINT_WINDOW_DECLARATION;
    void postPaintScreen() override;
    void grabbedKeyboardEvent(QKeyEvent* event) override;

    uint version() const;
    QString compositor() const;
    QString problem() const { return problem_; }
    QString activeApp() const { return activeApp_; }

public Q_SLOTS:
    void Begin(const QString& output, const QString& style, double perspective, double blur,
               double shadow, double clearAngle, bool reduceMotion);
    Q_NOREPLY void Update(double angle, bool scripted, double sheetAngle, double velocity,
                          double opacity, double targetTime);
    void Freeze(bool frozen);
    void Dress(const QDBusUnixFileDescriptor& pixels, int width, int height, int stride);
    void Undress();
    void End();
    void WatchEscape(bool watch);
    void KeepAbove(bool keep);

Q_SIGNALS:
    void Ended(const QString& reason);
    void ActiveAppChanged(const QString& app);
    void EscapePressed();

private:
    // The frame to fold `screen` with (none: every screen, as on X11); none when it does not.
    std::optional<FoldFrameParams> frameFor(const kwin::Screen* screen) const;
    // After the compositor drew the output into the current framebuffer, which shows
    // `targetRect` of the desktop at `scale`.
    void paintFold(const FoldFrameParams& frame, const QRect& targetRect, double scale);
    // The windows of the process that began the fold, while they stay above it.
    QList<KWin::EffectWindow*> windowsAbove() const;
    // False, with an error sent, for a call from another program than the fold's.
    bool mayDrive();
    void takeDriver(const QString& service);
    void endFold(const QString& reason);
    void checkSilence();
    void repaintOutput();
    void windowActivated(KWin::EffectWindow* window);
    void screenRemoved(kwin::Screen* screen);
    // The keyboard is the effect's while a fold shows and the daemon watches Escape.
    void updateGrab();

    std::unique_ptr<SheetPainter> painter_;
    QString problem_;
    QString activeApp_;
    FrameTrack track_;
    kwin::Screen* output_ = nullptr;
    bool frozen_ = false;
    bool watchEscape_ = false;
    bool grabbed_ = false;
    bool keepAbove_ = false;
    QString driver_; // the bus name of the program that began the fold
    QDBusServiceWatcher driverWatch_;
    pid_t owner_ = 0;                  // its process
    QList<KWin::EffectWindow*> above_; // kept above in the pass being painted
    bool drawingAbove_ = false;        // they are drawn over the fold, not under it
    bool undress_ = false;             // the picture goes at the next paint
    double presentTime_ = 0;
    // The cover's picture, tightly packed, until the next paint uploads it.
    std::optional<std::vector<std::uint8_t>> pendingDressing_;
    QSize pendingDressingSize_;
    QTimer watchdog_;
};

} // namespace orvane
