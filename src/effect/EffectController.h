// SPDX-License-Identifier: MIT
// The effect's one decision point. Every input (lid samples, settings edits,
// URL commands, system events, the frontmost app) updates a field and runs a
// gate step; the step alone applies the gate's decision to the overlay, the
// capture, the sensor rate, the cover and the clear click. Main thread only.
#pragma once

#include "core/Availability.h"
#include "core/SystemLog.h"
#include "effect/EffectPorts.h"
#include "effect/FoldDisplay.h"
#include "motion/MotionGate.h"
#include "motion/OverlayMotion.h"
#include "render/FoldUniforms.h"
#include "sensor/AngleFilter.h"
#include "settings/FoldSettings.h"
#include "settings/URLCommand.h"

#include <functional>
#include <memory>
#include <optional>

namespace orvane {

class EffectController final : public SystemEventsListener, public FoldDisplayClient {
public:
    struct Ports {
        SettingsStore& defaults;
        FoldDisplay& display;
        LidSensorControl& sensor;
        CoverControl& cover;
        AccordionControl& accordion;
        EscapeKeyControl& escapeKey;
        FeedbackControl& feedback;
        Scheduler& scheduler;
        const SystemFacts& system;
        SystemLog& log;
        Clock clock;
    };

    struct SensorFacts {
        bool open = false;
        bool readsOnlyZero = false;
        std::optional<double> angle;
        bool operator==(const SensorFacts&) const = default;
    };

    explicit EffectController(Ports ports);
    ~EffectController() override;
    EffectController(const EffectController&) = delete;
    EffectController& operator=(const EffectController&) = delete;

    // Prepares the display for the built-in screen, starts the sensor, reads the
    // frontmost app and publishes the first availability.
    void start();

    Availability availability() const;
    SensorFacts sensorFacts() const;
    const FoldSettings& settings() const { return settings_; }
    GateState gateState() const { return gate_.state(); }
    const OverlayMotion& motion() const { return motion_; }

    // Inputs from the sensor.
    void lidSample(double angle, double time);
    void sensorAvailabilityChanged(bool open);

    // User commands.
    void editSettings(const std::function<void(FoldSettings&)>& change);
    void apply(const URLCommand& command);
    void togglePause();
    void reevaluateAndPublish();
    void setPreview(std::optional<double> angle);
    void previewInteraction();
    void checkPreviewIdleTimeout();
    // The Escape key while the overlay shows.
    void escapePressed();

    // System events.
    void willSleep() override;
    void didWake() override;
    void screenParametersChanged() override;
    void screenLocked(bool locked) override;
    void powerStateChanged() override;
    void reduceMotionChanged() override;
    void screensSlept(bool asleep) override;
    void sessionActive(bool active) override;
    void frontmostAppChanged() override;
    void thermalStateChanged() override;

    // The display asks for each frame; it also hears when the live desktop fails.
    std::optional<FoldFrameParams> frameAt(double targetTime) override;
    void desktopFailed() override;
    // The display link's step: advances the animator; false once the overlay is gone.
    bool tick(double time);
    // What is drawn at `time`; none without a frame to draw.
    std::optional<FoldFrameParams> frameParams(double time);

    std::function<void(const Availability&)> onAvailabilityChange;
    std::function<void()> onClearClick;
    std::function<void(std::optional<double> angle, double velocity)> onLidSample;
    std::function<void(const FoldSettings&)> onSettingsChange;

private:
    AvailabilityInputs facts() const;
    void saveSettings();
    std::int64_t currentFPS() const;
    void stepGate(double angle, double velocity, double time);
    void applyGateOutput(const GateOutput& output);
    void stepAtRest();
    void refresh();
    void settingsChanged();
    void publishAvailabilityIfChanged();
    void updateAccordion();
    bool drawable() const;
    CaptureControl& capture() { return ports_.display.desktop(); }
    const CaptureControl& capture() const { return ports_.display.desktop(); }
    void syncFadeDeadline();
    void hideOverlayAtOnce();
    void overlayGone();
    void holdEscapeKey(bool held);
    void startPreview(double angle, std::optional<double> seconds);
    void startPreviewPump();
    void endPreview();
    void cancelTimer(std::optional<Scheduler::Handle>& timer);

    Ports ports_;
    FoldSettings settings_;
    MotionGate gate_;
    AngleFilter filter_;
    OverlayMotion motion_;
    SensorZeroTracker zeroTracker_;
    bool sleeping_ = false;
    bool locked_ = false;
    bool lowPower_ = false;
    bool reduceMotion_ = false;
    bool sensorAvailable_ = false;
    bool saveFailing_ = false;
    std::optional<double> lastSensorAngle_;
    double lastFilteredAngle_;
    bool screensAsleep_ = false;
    bool sessionInactive_ = false;
    bool thermalCritical_ = false;
    std::optional<std::string> frontmostBlockedApp_;
    bool wasInCover_ = false;
    std::optional<Availability> lastPublished_;
    bool republishing_ = false;
    bool escapeRegistered_ = false;
    std::optional<FoldAnimator::Frame> tickedFrame_;
    std::optional<Scheduler::Handle> previewPump_;
    std::optional<Scheduler::Handle> previewIdleTimer_;
    std::optional<Scheduler::Handle> previewEnd_;
    std::optional<Scheduler::Handle> fadeDeadlineTimer_;
    std::optional<double> scheduledFadeDeadline_;
    double lastPreviewInteraction_;
};

} // namespace orvane
