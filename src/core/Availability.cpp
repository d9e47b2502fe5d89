// SPDX-License-Identifier: MIT
#include "core/Availability.h"

namespace orvane {

std::string_view rawValue(IconVariant icon) {
    switch (icon) {
    case IconVariant::ready:
        return "ready";
    case IconVariant::paused:
        return "paused";
    case IconVariant::asleep:
        return "asleep";
    case IconVariant::barred:
        return "barred";
    case IconVariant::slashed:
        return "slashed";
    }
    return "ready";
}

std::string_view rawValue(DotColor color) {
    switch (color) {
    case DotColor::green:
        return "green";
    case DotColor::grey:
        return "grey";
    case DotColor::amber:
        return "amber";
    }
    return "green";
}

std::string_view PermissionName::screenRecording() {
    return "Screen Recording";
}

Availability Availability::blockedApp(std::string appName) {
    return Availability(Kind::blockedApp, std::move(appName));
}

Availability Availability::noSensor(bool readsZero) {
    return Availability(Kind::noSensor, {}, readsZero);
}

namespace {

// The reasons that hold the effect back, in the order they are shown.
std::optional<Availability::Kind> holdingBack(const AvailabilityInputs& inputs) {
    using Kind = Availability::Kind;
    if (inputs.paused) {
        return Kind::paused;
    }
    if (inputs.screenAsleep) {
        return Kind::asleep;
    }
    if (inputs.lowPower) {
        return Kind::lowPower;
    }
    if (inputs.thermalCritical) {
        return Kind::thermal;
    }
    if (inputs.frontmostBlockedApp) {
        return Kind::blockedApp;
    }
    if (inputs.unsupportedSession) {
        return Kind::unsupportedSession;
    }
    if (!inputs.hasBuiltInDisplay) {
        return Kind::noDisplay;
    }
    return std::nullopt;
}

} // namespace

Availability Availability::resolve(const AvailabilityInputs& inputs) {
    if (const std::optional<Kind> held = holdingBack(inputs)) {
        return *held == Kind::blockedApp ? blockedApp(*inputs.frontmostBlockedApp)
                                         : Availability(*held);
    }
    // A missing permission explains a failing capture, so it is the reason to show.
    if (!inputs.hasScreenRecording) {
        return noPermission();
    }
    if (inputs.captureFailing) {
        return captureFailed();
    }
    if (!inputs.sensorOpen) {
        return noSensor(false);
    }
    if (inputs.sensorReadsZero) {
        return noSensor(true);
    }
    return ready();
}

bool Availability::blocksGate(const AvailabilityInputs& inputs, bool previewing, bool onboarded) {
    if (holdingBack(inputs)) {
        return true;
    }
    return !previewing && !(inputs.sensorOpen && onboarded && inputs.hasScreenRecording);
}

bool Availability::allowsAccordion() const {
    return kind_ == Kind::ready || kind_ == Kind::noPermission || kind_ == Kind::captureFailed ||
           kind_ == Kind::unsupportedSession;
}

StatusPresentation Availability::presentation() const {
    const std::string permission(PermissionName::screenRecording());
    switch (kind_) {
    case Kind::ready:
        return {IconVariant::ready, "Orvane follows the lid.", "Orvane, follows the lid",
                "Follows the lid", DotColor::green};
    case Kind::paused:
        return {IconVariant::paused, "Orvane is paused. The desktop stays put.", "Orvane, paused",
                "Paused", DotColor::grey};
    case Kind::asleep:
        return {IconVariant::asleep, "Orvane is waiting for the screen.",
                "Orvane, waiting for the screen", "Waiting for the screen", DotColor::grey};
    case Kind::lowPower:
        return {IconVariant::barred, "Orvane is paused in Low Power Mode.",
                "Orvane, paused in Low Power Mode", "Paused in Low Power Mode", DotColor::amber};
    case Kind::thermal:
        return {IconVariant::barred, "Orvane is paused while the computer is hot.",
                "Orvane, paused while the computer is hot", "Paused while the computer is hot",
                DotColor::amber};
    case Kind::blockedApp:
        return {IconVariant::barred, "Orvane is paused while " + appName_ + " is in front.",
                "Orvane, paused while " + appName_ + " is in front",
                "Paused while " + appName_ + " is in front", DotColor::amber};
    case Kind::unsupportedSession:
        return {IconVariant::slashed,
                "Orvane cannot show the fold on this session yet. Log in to an X11 session, or "
                "on KDE Plasma install orvane-kwin-effect, to see it.",
                "Orvane, cannot fold on this session yet", "Cannot fold on this session yet",
                DotColor::amber};
    case Kind::noDisplay:
        return {IconVariant::barred, "Orvane needs the built-in display. None is available.",
                "Orvane, no built-in display", "No built-in display", DotColor::amber};
    case Kind::noPermission:
        return {IconVariant::slashed, permission + " is off. Orvane cannot fold the desktop.",
                "Orvane, " + permission + " is off", permission + " is off", DotColor::amber};
    case Kind::captureFailed:
        return {
            IconVariant::slashed, "Screen capture failed. Orvane tries again on the next lid move.",
            "Orvane, screen capture failed", "Screen capture failed. Retrying.", DotColor::amber};
    case Kind::effectUnavailable:
        return {IconVariant::slashed,
                "Orvane cannot draw the fold on this computer. OpenGL is not available.",
                "Orvane, cannot draw on this computer", "Cannot draw on this computer",
                DotColor::amber};
    case Kind::noSensor:
        if (readsZero_) {
            return {IconVariant::slashed, "The lid sensor reads 0. Open the lid to test Orvane.",
                    "Orvane, lid sensor reads 0", "Lid sensor reads 0. Open the lid to test.",
                    DotColor::amber};
        }
        return {IconVariant::slashed,
                "Orvane cannot read the lid angle. Manual preview still works.",
                "Orvane, no lid sensor", "No lid sensor. Preview still works.", DotColor::amber};
    }
    return ready().presentation();
}

} // namespace orvane
