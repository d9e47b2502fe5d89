// SPDX-License-Identifier: MIT
#include "effect/EffectController.h"

#include "effect/FrameRateCap.h"
#include "effect/PreviewAutoOff.h"
#include "settings/Blocklist.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace orvane {

EffectController::EffectController(Ports ports)
    : ports_(std::move(ports)), settings_(FoldSettings::load(ports_.defaults)),
      lowPower_(ports_.system.lowPowerMode()), reduceMotion_(ports_.system.reduceMotion()),
      lastFilteredAngle_(Tuning::initialLidAngle),
      thermalCritical_(ports_.system.thermalState() == ThermalState::critical),
      // The distant past: no interaction yet.
      lastPreviewInteraction_(-std::numeric_limits<double>::infinity()) {
    ports_.display.attach(this);
}

EffectController::~EffectController() {
    ports_.display.attach(nullptr);
    for (auto* timer : {&previewPump_, &previewIdleTimer_, &previewEnd_, &fadeDeadlineTimer_}) {
        cancelTimer(*timer);
    }
}

void EffectController::cancelTimer(std::optional<Scheduler::Handle>& timer) {
    if (timer) {
        ports_.scheduler.cancel(*timer);
        timer.reset();
    }
}

void EffectController::start() {
    ports_.display.prepare();
    ports_.sensor.start();
    frontmostAppChanged();
    publishAvailabilityIfChanged();
}

// Availability and facts.

AvailabilityInputs EffectController::facts() const {
    AvailabilityInputs in;
    in.paused = settings_.paused;
    in.screenAsleep = sleeping_ || locked_ || screensAsleep_ || sessionInactive_;
    in.lowPower = lowPower_ && settings_.pauseInLowPower;
    in.thermalCritical = thermalCritical_;
    in.frontmostBlockedApp = frontmostBlockedApp_;
    const std::optional<DisplayProblem> problem = ports_.display.problem();
    in.hasBuiltInDisplay = problem != DisplayProblem::noScreen;
    in.hasScreenRecording = capture().hasPermission();
    in.sensorOpen = sensorAvailable_;
    in.sensorReadsZero = zeroTracker_.readsOnlyZero();
    in.captureFailing = capture().isFailing();
    in.unsupportedSession = problem == DisplayProblem::unsupportedSession;
    return in;
}

Availability EffectController::availability() const {
    return Availability::resolve(facts());
}

EffectController::SensorFacts EffectController::sensorFacts() const {
    return {sensorAvailable_, zeroTracker_.readsOnlyZero(), lastSensorAngle_};
}

std::int64_t EffectController::currentFPS() const {
    const bool onBattery = ports_.system.onBattery().value_or(false);
    return frameRateCap(ports_.system.thermalState(), !onBattery, ports_.display.maxFPS());
}

void EffectController::updateAccordion() {
    ports_.accordion.setEnabled(settings_.accordion && availability().allowsAccordion(),
                                settings_.accordionVolume);
}

// The gate step: the only place where the gate's decision is applied.

void EffectController::stepGate(double angle, double velocity, double time) {
    const bool preview = settings_.previewAngle.has_value();
    AvailabilityInputs stepFacts = facts();
    const auto gateBlocked = [&](bool permission) {
        stepFacts.hasScreenRecording = permission;
        return Availability::blocksGate(stepFacts, preview, settings_.hasCompletedOnboarding);
    };

    // A copy of the gate predicts, so the permission is asked only when a
    // fold could start on this very step; the prediction assumes it granted.
    GateInput input{angle,
                    velocity,
                    time,
                    capture().hasFrameForCurrentStream(),
                    gateBlocked(true),
                    settings_.gateSettings()};
    capture().permissionForGateStep(gate_.wouldStartFold(input));

    const bool blocked = gateBlocked(capture().hasPermission());
    input.blocked = blocked;
    input.frameReady = capture().hasFrameForCurrentStream();

    if (preview) {
        motion_.target(*settings_.previewAngle, time);
    }
    const GateState previous = gate_.state();
    const GateOutput output = gate_.step(input);
    motion_.gateStepped(output, previous, gate_.state(), settings_.clearAngle, time, blocked);
    motion_.enforceDeadline(time);
    syncFadeDeadline();

    applyGateOutput(output);
    publishAvailabilityIfChanged();
}

void EffectController::applyGateOutput(const GateOutput& output) {
    const bool inCover = gate_.state() == GateState::cover;
    if (inCover != wasInCover_) {
        wasInCover_ = inCover;
        if (inCover && drawable()) {
            ports_.cover.coverAppeared(settings_.coverMode, reduceMotion_);
        } else {
            ports_.cover.coverEnded();
        }
    }

    SensorRate rate = output.sensorRate;
    if (settings_.accordion && availability().allowsAccordion() && rate == SensorRate::idle) {
        rate = SensorRate::fastIdle;
    }
    ports_.sensor.setRate(rate);

    holdEscapeKey(motion_.showing());

    // The capture starts first: the display waits for its first frame.
    CaptureControl& capture = ports_.display.desktop();
    if (!output.wantsCapture &&
        (capture.isCapturing() || capture.isStarting() || capture.isDesired())) {
        capture.stop();
    } else if (output.wantsCapture && !capture.isCapturing() && !capture.isStarting()) {
        capture.requestStart(currentFPS());
    }

    FoldDisplay& display = ports_.display;
    if (motion_.showing() && drawable()) {
        if (output.overlayVisible && output.frozen) {
            display.showFrozen();
        } else if (!display.isLive()) {
            display.showLive(currentFPS());
        }
    } else {
        display.hide();
    }

    for (GateEvent event : output.events) {
        if (event != GateEvent::clearClick) {
            continue;
        }
        if (settings_.soundOnClear) {
            ports_.feedback.playClick(settings_.clearVolume);
        }
        if (settings_.hapticOnClear) {
            ports_.feedback.haptic();
        }
        if (onClearClick) {
            onClearClick();
        }
    }
}

void EffectController::stepAtRest() {
    stepGate(lastFilteredAngle_, 0, ports_.clock.media());
}

void EffectController::refresh() {
    updateAccordion();
    stepAtRest();
    publishAvailabilityIfChanged();
}

void EffectController::publishAvailabilityIfChanged() {
    Availability current = availability();
    // An unchanged availability costs no permission query.
    if (lastPublished_ && *lastPublished_ == current) {
        return;
    }
    const bool before = capture().hasPermission();
    const bool after = capture().refreshPermission();
    current = availability();
    if (!lastPublished_ || *lastPublished_ != current) {
        lastPublished_ = current;
        if (onAvailabilityChange) {
            onAvailabilityChange(current);
        }
    }
    if (before != after && !republishing_) {
        republishing_ = true;
        updateAccordion();
        stepAtRest();
        republishing_ = false;
    }
}

// Sensor inputs.

void EffectController::lidSample(double angle, double time) {
    zeroTracker_.ingest(angle);
    lastSensorAngle_ = angle;
    const FilteredSample filtered = filter_.ingest(angle, time);
    lastFilteredAngle_ = filtered.angle;
    if (!settings_.previewAngle) {
        motion_.sample(filtered.angle, time);
    }
    stepGate(filtered.angle, filtered.velocity, time);
    updateAccordion();
    ports_.accordion.update(filtered.angle, filtered.velocity, time);
    if (onLidSample) {
        onLidSample(filtered.angle, filtered.velocity);
    }
}

void EffectController::sensorAvailabilityChanged(bool open) {
    sensorAvailable_ = open;
    if (!open) {
        lastSensorAngle_.reset();
        if (onLidSample) {
            onLidSample(std::nullopt, 0);
        }
    }
    publishAvailabilityIfChanged();
    updateAccordion();
    stepAtRest();
}

void EffectController::desktopFailed() {
    capture().refreshPermission();
    updateAccordion();
    stepAtRest();
}

// Settings and commands.

void EffectController::saveSettings() {
    const StoreStatus status = settings_.save(ports_.defaults);
    if (status != StoreStatus::ok && !saveFailing_) {
        // Once per run of failures; the edit stays in effect and the next save tries again.
        ports_.log.note("settings",
                        "Saving the settings failed: " + std::string(describe(status)) + ".");
    }
    saveFailing_ = status != StoreStatus::ok;
}

void EffectController::settingsChanged() {
    saveSettings();
    updateAccordion();
    if (gate_.state() == GateState::cover && drawable() && settings_.coverMode != CoverMode::off) {
        ports_.cover.coverAppeared(settings_.coverMode, reduceMotion_);
    }
    if (onSettingsChange) {
        onSettingsChange(settings_);
    }
    publishAvailabilityIfChanged();
    stepAtRest();
}

void EffectController::editSettings(const std::function<void(FoldSettings&)>& change) {
    const std::optional<double> preview = settings_.previewAngle;
    change(settings_);
    // A preview angle is only ever set through the preview operations.
    settings_.previewAngle = preview;
    settingsChanged();
}

void EffectController::togglePause() {
    settings_.setPaused(!settings_.paused);
    settingsChanged();
}

void EffectController::escapePressed() {
    if (!settings_.paused) {
        editSettings([](FoldSettings& s) { s.setPaused(true); });
    }
}

void EffectController::apply(const URLCommand& command) {
    if (const auto* preview = std::get_if<URLCommand::Preview>(&command.value)) {
        startPreview(preview->angle, preview->seconds);
        if (onSettingsChange) {
            onSettingsChange(settings_);
        }
        publishAvailabilityIfChanged();
        return;
    }
    settings_.apply(command);
    settingsChanged();
}

void EffectController::reevaluateAndPublish() {
    capture().refreshPermission();
    updateAccordion();
    stepAtRest();
    publishAvailabilityIfChanged();
}

// The manual preview.

void EffectController::setPreview(std::optional<double> angle) {
    cancelTimer(previewEnd_);
    if (!angle) {
        endPreview();
    } else {
        lastPreviewInteraction_ = ports_.clock.wall();
        if (!previewIdleTimer_) {
            previewIdleTimer_ = ports_.scheduler.every(Tuning::previewIdleCheckInterval,
                                                       [this] { checkPreviewIdleTimeout(); });
        }
        const bool wasActive = settings_.previewAngle.has_value();
        settings_.setPreviewAngle(*angle);
        if (!wasActive) {
            startPreviewPump();
        }
    }
    if (onSettingsChange) {
        onSettingsChange(settings_);
    }
    publishAvailabilityIfChanged();
    updateAccordion();
    stepAtRest();
}

void EffectController::startPreview(double angle, std::optional<double> seconds) {
    cancelTimer(previewEnd_);
    cancelTimer(previewIdleTimer_); // a timed preview is not ended by idleness
    settings_.setPreviewAngle(angle);
    startPreviewPump();
    previewEnd_ =
        ports_.scheduler.after(seconds.value_or(Tuning::previewURLDefaultSeconds), [this] {
            previewEnd_.reset();
            endPreview();
        });
}

void EffectController::startPreviewPump() {
    if (previewPump_) {
        return;
    }
    // Steps go on while the preview holds, even with no lid sample arriving.
    previewPump_ = ports_.scheduler.every(1.0 / Tuning::sensorHzIdle, [this] {
        if (settings_.previewAngle) {
            stepGate(*settings_.previewAngle, 0, ports_.clock.media());
        }
    });
}

void EffectController::endPreview() {
    settings_.setPreviewAngle(std::nullopt);
    cancelTimer(previewPump_);
    cancelTimer(previewIdleTimer_);
    updateAccordion();
    stepAtRest();
    if (onSettingsChange) {
        onSettingsChange(settings_);
    }
}

void EffectController::previewInteraction() {
    lastPreviewInteraction_ = ports_.clock.wall();
}

void EffectController::checkPreviewIdleTimeout() {
    if (settings_.previewAngle &&
        PreviewAutoOff::shouldEnd(lastPreviewInteraction_, ports_.clock.wall())) {
        setPreview(std::nullopt);
    }
}

// System events.

void EffectController::holdEscapeKey(bool held) {
    if (held != escapeRegistered_) {
        escapeRegistered_ = held;
        held ? ports_.escapeKey.registerKey() : ports_.escapeKey.unregisterKey();
    }
}

void EffectController::overlayGone() {
    ports_.display.hide();
    holdEscapeKey(false);
}

void EffectController::hideOverlayAtOnce() {
    motion_.hideNow();
    overlayGone();
    syncFadeDeadline();
}

void EffectController::willSleep() {
    sleeping_ = true;
    gate_.forceIdle();
    hideOverlayAtOnce();
    capture().stop();
    refresh();
}

void EffectController::didWake() {
    sleeping_ = false;
    gate_.forceIdle();
    motion_.hideNow();
    capture().refreshPermission();
    ports_.sensor.reopen();
    ports_.display.prepare();
    refresh();
}

void EffectController::screenParametersChanged() {
    capture().stop();
    gate_.forceIdle();
    hideOverlayAtOnce();
    ports_.display.prepare();
    refresh();
}

void EffectController::screenLocked(bool locked) {
    locked_ = locked;
    refresh();
}

void EffectController::powerStateChanged() {
    lowPower_ = ports_.system.lowPowerMode();
    if (drawable()) {
        ports_.display.setFrameRate(currentFPS());
    }
    refresh();
}

void EffectController::reduceMotionChanged() {
    reduceMotion_ = ports_.system.reduceMotion();
}

void EffectController::screensSlept(bool asleep) {
    screensAsleep_ = asleep;
    if (asleep) {
        hideOverlayAtOnce();
        capture().stop();
    }
    refresh();
}

void EffectController::sessionActive(bool active) {
    sessionInactive_ = !active;
    if (!active) {
        hideOverlayAtOnce();
        capture().stop();
    }
    refresh();
}

void EffectController::thermalStateChanged() {
    thermalCritical_ = ports_.system.thermalState() == ThermalState::critical;
    if (drawable()) {
        ports_.display.setFrameRate(currentFPS());
    }
    refresh();
}

void EffectController::frontmostAppChanged() {
    const std::optional<SystemFacts::FrontmostApp> app = ports_.system.frontmostApp();
    std::optional<std::string> name;
    if (app && Blocklist::contains(settings_.blocklist, app->appID)) {
        name = app->name && !app->name->empty() ? *app->name : app->appID;
    }
    if (name == frontmostBlockedApp_) {
        return;
    }
    frontmostBlockedApp_ = name;
    updateAccordion();
    stepAtRest();
    publishAvailabilityIfChanged();
}

// The display.

bool EffectController::drawable() const {
    return !ports_.display.problem().has_value();
}

std::optional<FoldFrameParams> EffectController::frameAt(double targetTime) {
    if (!tick(targetTime)) {
        return std::nullopt;
    }
    std::optional<FoldFrameParams> frame = frameParams(targetTime);
    if (frame) {
        frame->targetTime = targetTime;
    }
    return frame;
}

bool EffectController::tick(double time) {
    if (gate_.state() == GateState::cover) {
        return true;
    }
    tickedFrame_ = motion_.frame(time);
    if (!motion_.showing()) {
        // The display hides itself once it is told there is no frame.
        holdEscapeKey(false);
        syncFadeDeadline();
        return false;
    }
    return true;
}

std::optional<FoldFrameParams> EffectController::frameParams(double time) {
    FoldFrameParams params;
    params.look = settings_.look(reduceMotion_);
    if (gate_.state() == GateState::cover) {
        // The cover is drawn over a fully folded, frosted sheet.
        params.angle = Tuning::closedCap;
        params.look.blur = Tuning::coverSheetBlur;
        params.look.style = FoldStyle::rime;
        params.motion = FoldMotion::still();
        params.opacity = 1;
        return params;
    }
    // A frozen redraw shows the last live frame.
    const FoldAnimator::Frame frame = tickedFrame_ ? *tickedFrame_ : motion_.frame(time);
    params.angle = frame.angle;
    params.motion = FoldMotion::scripted(frame.angle, frame.velocity);
    params.opacity = frame.opacity;
    return params;
}

void EffectController::syncFadeDeadline() {
    const std::optional<double> desired =
        motion_.fadingOut() ? motion_.fadeDeadline() : std::optional<double>();
    if (desired == scheduledFadeDeadline_) {
        return;
    }
    cancelTimer(fadeDeadlineTimer_);
    scheduledFadeDeadline_ = desired;
    if (!desired) {
        return;
    }
    const double delay = std::max(0.0, *desired - ports_.clock.media());
    // The overlay goes at its deadline even when no frame and no sample arrive.
    fadeDeadlineTimer_ = ports_.scheduler.after(delay, [this, deadline = *desired] {
        fadeDeadlineTimer_.reset();
        scheduledFadeDeadline_.reset();
        motion_.enforceDeadline(std::max(deadline, ports_.clock.media()));
        if (!motion_.showing()) {
            overlayGone();
        }
        syncFadeDeadline();
    });
}

} // namespace orvane
