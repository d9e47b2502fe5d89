// SPDX-License-Identifier: MIT
// The fold drawn inside the compositor by Orvane's plug-in (the KWin effect),
// driven over the session bus through the contract's generated proxy: a fold
// begins with its look, then goes on as one frame value per display frame at
// most, each sent without waiting for a reply. A held fold sends its frame
// again now and then, so the plug-in knows the daemon lives, and the cover's
// picture is drawn here and handed over in a memory file.
#pragma once

#include "core/SystemLog.h"
#include "display/ComposedDesktop.h"
#include "effect/EffectPorts.h"
#include "effect/FoldDisplay.h"

#include "foldinterface.h"

#include <QDBusServiceWatcher>
#include <QObject>
#include <QSize>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

class QPainter;

namespace orvane {

class CompositorFoldDisplay final : public QObject, public FoldDisplay {
public:
    struct Ports {
        SystemLog& log;
        // The builtInScreen setting; empty = automatic.
        std::function<std::string()> chosenScreen;
        std::function<void(QPainter&, QSize, const CoverDressing&)> paintCover;
        std::function<double()> now; // seconds on CLOCK_MONOTONIC
        // This process's windows stay above the fold (the settings window holds it).
        std::function<bool()> ownWindowsAbove;
        // Asks the compositor to load the plug-in again, without waiting.
        std::function<void()> reload;
        // The compositor's name on the bus: only its own connection may serve the plug-in.
        QString compositor;
    };

    CompositorFoldDisplay(const QDBusConnection& bus, Ports ports);
    ~CompositorFoldDisplay() override;
    CompositorFoldDisplay(const CompositorFoldDisplay&) = delete;
    CompositorFoldDisplay& operator=(const CompositorFoldDisplay&) = delete;

    void attach(FoldDisplayClient* client) override { client_ = client; }
    void prepare() override;
    std::optional<DisplayProblem> problem() const override;
    std::optional<std::int64_t> maxFPS() const override;
    CaptureControl& desktop() override { return desktop_; }
    void showLive(std::int64_t fps) override;
    void showFrozen() override;
    void hide() override;
    bool isLive() const override { return mode_ == Mode::live; }
    void setFrameRate(std::int64_t fps) override;

    int width() const override;
    int height() const override;
    void setCoverDressing(std::optional<CoverDressing> dressing) override;

    // Escape, as the plug-in hears it while a fold shows; `onEscape` once per press.
    EscapeKeyControl& escapeKey() { return escape_; }
    std::function<void()> onEscape;
    // The desktop-entry id of the app in front as the compositor tells it, at once and at
    // every change; empty for none.
    void followActiveApp(std::function<void(const std::string&)> changed);
    // Why the plug-in cannot draw, in its own words (a sentence); none while it can.
    std::optional<std::string> pluginProblem() const;

private:
    enum class Mode { hidden, live, frozen };
    struct Output {
        std::string name;
        QSize pixels; // native
        double refreshRate = 0;
    };
    class Escape final : public EscapeKeyControl {
    public:
        explicit Escape(CompositorFoldDisplay& display) : display_(display) {}
        void registerKey() override { display_.watchEscape(true); }
        void unregisterKey() override { display_.watchEscape(false); }

    private:
        CompositorFoldDisplay& display_;
    };

    void tick();
    void send(const FoldFrameParams& frame);
    void enter(Mode mode);
    void watchEscape(bool watch);
    void pluginChanged(bool present);
    // Whether the plug-in's name is served by the compositor itself; reads its Problem.
    bool checkPlugin();
    void refused(const QDBusError& error);
    void dress();

    Ports ports_;
    FoldDisplayClient* client_ = nullptr;
    FoldInterface fold_;
    QDBusServiceWatcher watcher_;
    QTimer timer_;
    QTimer reload_; // while the plug-in is gone
    ComposedDesktop desktop_;
    Escape escape_{*this};
    Mode mode_ = Mode::hidden;
    std::int64_t fps_ = 60;
    std::optional<Output> output_;
    bool present_ = false;
    std::optional<std::string> refusal_; // why the plug-in cannot draw at all
    unsigned foldSerial_ = 0;            // the fold a reply belongs to
    std::string lastRefusal_;            // noted in the log
    std::optional<FoldLook> sentLook_;   // the look of the fold begun
    bool watchingEscape_ = false;
    bool keptAbove_ = false; // as last told to the plug-in
    std::optional<CoverDressing> dressing_;
    std::function<void(const std::string&)> activeAppChanged_;
};

} // namespace orvane
