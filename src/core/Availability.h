// SPDX-License-Identifier: MIT
// The one reason the fold effect can or cannot run right now, resolved from a
// flat record of facts, and what the status item shows for it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace orvane {

enum class IconVariant { ready, paused, asleep, barred, slashed };
enum class DotColor { green, grey, amber };

std::string_view rawValue(IconVariant icon);
std::string_view rawValue(DotColor color);

struct StatusPresentation {
    IconVariant icon = IconVariant::ready;
    std::string tooltip;
    std::string accessibilityLabel;
    std::string menuLine;
    DotColor dotColor = DotColor::green;
    bool operator==(const StatusPresentation&) const = default;
};

namespace PermissionName {
// The screen-recording permission as the user sees it named.
std::string_view screenRecording();
} // namespace PermissionName

struct AvailabilityInputs {
    bool paused = false;
    bool screenAsleep = false;
    bool lowPower = false;
    bool thermalCritical = false;
    std::optional<std::string> frontmostBlockedApp;
    bool hasBuiltInDisplay = false;
    bool hasScreenRecording = false;
    bool sensorOpen = false;
    bool sensorReadsZero = false;
    bool captureFailing = false;
    // Nothing can draw the fold on this desktop session yet (Wayland today).
    bool unsupportedSession = false;
    bool operator==(const AvailabilityInputs&) const = default;
};

class Availability {
public:
    enum class Kind {
        blockedApp,
        noSensor,
        paused,
        asleep,
        lowPower,
        thermal,
        unsupportedSession,
        noDisplay,
        noPermission,
        captureFailed,
        effectUnavailable,
        ready,
    };

    static Availability blockedApp(std::string appName);
    static Availability noSensor(bool readsZero);
    static Availability paused() { return Availability(Kind::paused); }
    static Availability asleep() { return Availability(Kind::asleep); }
    static Availability lowPower() { return Availability(Kind::lowPower); }
    static Availability thermal() { return Availability(Kind::thermal); }
    static Availability unsupportedSession() { return Availability(Kind::unsupportedSession); }
    static Availability noDisplay() { return Availability(Kind::noDisplay); }
    static Availability noPermission() { return Availability(Kind::noPermission); }
    static Availability captureFailed() { return Availability(Kind::captureFailed); }
    // Only the application sets this, when no GPU context exists; resolve never does.
    static Availability effectUnavailable() { return Availability(Kind::effectUnavailable); }
    static Availability ready() { return Availability(Kind::ready); }

    // First match wins, so exactly one reason shows when several hold.
    static Availability resolve(const AvailabilityInputs& inputs);
    // The motion gate's `blocked` input. A manual preview is stopped only by
    // the reasons that hold the effect back whatever the lid does (paused,
    // asleep, low power, heat, a blocked app, no screen); the lid also needs
    // the sensor, the finished welcome and the screen-recording permission.
    static bool blocksGate(const AvailabilityInputs& inputs, bool previewing, bool onboarded);

    Kind kind() const { return kind_; }
    // Empty unless the case is blockedApp.
    const std::string& blockedAppName() const { return appName_; }
    // False unless the case is noSensor.
    bool readsZero() const { return readsZero_; }

    // The accordion needs only the lid, not the capture nor a place to draw.
    bool allowsAccordion() const;
    StatusPresentation presentation() const;

    bool operator==(const Availability&) const = default;

private:
    explicit Availability(Kind kind, std::string appName = {}, bool readsZero = false)
        : kind_(kind), appName_(std::move(appName)), readsZero_(readsZero) {}

    // The constructor keeps the payload of other cases at its default, so the
    // member-wise comparison compares by case and payload.
    Kind kind_;
    std::string appName_;
    bool readsZero_;
};

} // namespace orvane
