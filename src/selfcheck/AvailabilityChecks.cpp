// SPDX-License-Identifier: MIT
// Availability: one reason by a fixed precedence, what each reason shows, and
// how often the permission is asked of the system.
#include "capture/CaptureError.h"
#include "capture/PermissionPolicy.h"
#include "core/Availability.h"
#include "core/Tuning.h"
#include "selfcheck/ComponentChecks.h"
#include "selfcheck/Quoted.h"

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace orvane {

namespace {

std::string kindName(const Availability& a) {
    return std::string(rawValue(a.presentation().icon)) + " \"" + a.presentation().menuLine + "\"";
}

// Every case, with a payload where it has one.
std::vector<Availability> everyCase() {
    return {Availability::blockedApp("Some App"),
            Availability::noSensor(false),
            Availability::noSensor(true),
            Availability::paused(),
            Availability::asleep(),
            Availability::lowPower(),
            Availability::thermal(),
            Availability::unsupportedSession(),
            Availability::noDisplay(),
            Availability::noPermission(),
            Availability::captureFailed(),
            Availability::effectUnavailable(),
            Availability::ready()};
}

AvailabilityInputs allGood() {
    AvailabilityInputs in;
    in.hasBuiltInDisplay = true;
    in.hasScreenRecording = true;
    in.sensorOpen = true;
    return in;
}

void precedenceWalk(Reporter& report) {
    // Every reason holds at once; clearing them in order uncovers the next.
    AvailabilityInputs in;
    in.paused = in.screenAsleep = in.lowPower = in.thermalCritical = true;
    in.frontmostBlockedApp = "Some App";
    in.hasBuiltInDisplay = in.hasScreenRecording = in.sensorOpen = false;
    in.captureFailing = in.sensorReadsZero = in.unsupportedSession = true;
    const std::vector<std::pair<Availability, std::function<void()>>> walk{
        {Availability::paused(), [&] { in.paused = false; }},
        {Availability::asleep(), [&] { in.screenAsleep = false; }},
        {Availability::lowPower(), [&] { in.lowPower = false; }},
        {Availability::thermal(), [&] { in.thermalCritical = false; }},
        {Availability::blockedApp("Some App"), [&] { in.frontmostBlockedApp.reset(); }},
        {Availability::unsupportedSession(), [&] { in.unsupportedSession = false; }},
        {Availability::noDisplay(), [&] { in.hasBuiltInDisplay = true; }},
        {Availability::noPermission(), [&] { in.hasScreenRecording = true; }},
        {Availability::captureFailed(), [&] { in.captureFailing = false; }},
        {Availability::noSensor(false), [&] { in.sensorOpen = true; }},
        {Availability::noSensor(true), [&] { in.sensorReadsZero = false; }},
        {Availability::ready(), [] {}},
    };
    for (std::size_t i = 0; i < walk.size(); ++i) {
        const Availability got = Availability::resolve(in);
        if (!(got == walk[i].first)) {
            return report.fail("availability_precedence_walk",
                               "step " + std::to_string(i) + " gave " + kindName(got) + ", want " +
                                   kindName(walk[i].first));
        }
        walk[i].second();
    }
    report.pass("availability_precedence_walk");
}

void captureFailedYieldsToPermission(Reporter& report) {
    AvailabilityInputs in = allGood();
    in.captureFailing = true;
    const Availability granted = Availability::resolve(in);
    in.hasScreenRecording = false;
    const Availability denied = Availability::resolve(in);
    in.sensorOpen = false; // capture failure still outranks a missing sensor
    in.hasScreenRecording = true;
    const Availability noSensor = Availability::resolve(in);
    report.check(granted == Availability::captureFailed() &&
                     denied == Availability::noPermission() &&
                     noSensor == Availability::captureFailed(),
                 "availability_capture_failed_order",
                 "granted " + kindName(granted) + ", denied " + kindName(denied) + ", no sensor " +
                     kindName(noSensor));
}

void zeroReadingSensor(Reporter& report) {
    AvailabilityInputs in = allGood();
    in.sensorReadsZero = true;
    const Availability zero = Availability::resolve(in);
    in.sensorReadsZero = false;
    const Availability moved = Availability::resolve(in);
    report.check(zero == Availability::noSensor(true) && zero.readsZero() &&
                     moved == Availability::ready(),
                 "availability_sensor_reads_zero",
                 "only zeros gave " + kindName(zero) + ", then " + kindName(moved));
}

void accordionAllowed(Reporter& report) {
    std::string wrong;
    for (const Availability& a : everyCase()) {
        const bool want = a.kind() == Availability::Kind::ready ||
                          a.kind() == Availability::Kind::noPermission ||
                          a.kind() == Availability::Kind::captureFailed ||
                          a.kind() == Availability::Kind::unsupportedSession;
        if (a.allowsAccordion() != want) {
            wrong += wrong.empty() ? "" : ", ";
            wrong += kindName(a);
        }
    }
    report.check(wrong.empty(), "availability_accordion_allowed", "wrong for " + wrong);
}

void iconsAndDots(Reporter& report) {
    // Grey for a state the user chose or that passes by itself, green for
    // working, amber for one that needs attention; a bar for an outside
    // reason to wait, a slash for something broken or missing.
    std::string wrong;
    for (const Availability& a : everyCase()) {
        using K = Availability::Kind;
        const K k = a.kind();
        const DotColor dot = k == K::ready                      ? DotColor::green
                             : k == K::paused || k == K::asleep ? DotColor::grey
                                                                : DotColor::amber;
        const IconVariant icon =
            k == K::ready    ? IconVariant::ready
            : k == K::paused ? IconVariant::paused
            : k == K::asleep ? IconVariant::asleep
            : k == K::lowPower || k == K::thermal || k == K::blockedApp || k == K::noDisplay
                ? IconVariant::barred
                : IconVariant::slashed;
        const StatusPresentation p = a.presentation();
        if (p.dotColor != dot || p.icon != icon) {
            wrong += (wrong.empty() ? "" : "; ") + kindName(a) + " dot " +
                     std::string(rawValue(p.dotColor));
        }
    }
    report.check(wrong.empty(), "availability_icons_and_dots", wrong);
}

void textsDistinct(Reporter& report) {
    std::set<std::string> tooltips, labels, lines;
    std::string empty;
    for (const Availability& a : everyCase()) {
        const StatusPresentation p = a.presentation();
        if (p.tooltip.empty() || p.accessibilityLabel.empty() || p.menuLine.empty()) {
            empty += kindName(a) + " ";
        }
        tooltips.insert(p.tooltip);
        labels.insert(p.accessibilityLabel);
        lines.insert(p.menuLine);
    }
    const std::size_t n = everyCase().size();
    report.check(empty.empty() && tooltips.size() == n && labels.size() == n && lines.size() == n,
                 "availability_texts_distinct",
                 std::to_string(lines.size()) + " distinct menu lines and " +
                     std::to_string(tooltips.size()) + " tool tips for " + std::to_string(n) +
                     " cases; empty: " + empty);
}

void blockedAppNamed(Reporter& report) {
    const std::string app = "Presenter Deluxe";
    const StatusPresentation p = Availability::blockedApp(app).presentation();
    const std::string line = "Paused while " + app + " is in front";
    report.check(p.menuLine == line && p.tooltip.find(app) != std::string::npos &&
                     p.accessibilityLabel.find(app) != std::string::npos,
                 "availability_blocked_app_named", "menu line \"" + p.menuLine + "\"");
}

void permissionName(Reporter& report) {
    const std::string name(PermissionName::screenRecording());
    const StatusPresentation p = Availability::noPermission().presentation();
    const std::string error = CaptureError{CaptureError::Kind::noPermission, {}}.description();
    report.check(!name.empty() && p.menuLine == name + " is off" && p.tooltip.starts_with(name) &&
                     p.accessibilityLabel.find(name) != std::string::npos &&
                     error == name + " permission is not granted.",
                 "settings_permission_name",
                 "name \"" + name + "\", menu line \"" + p.menuLine + "\", capture error \"" +
                     error + "\"");
}

// A system permission switch that counts how often it is asked.
struct Preflight {
    bool allowed = true;
    int asked = 0;
    std::function<bool()> query() {
        return [this] {
            ++asked;
            return allowed;
        };
    }
};

void revokedGrantSeen(Reporter& report) {
    PermissionPolicy policy;
    Preflight system;
    policy.grant(0, false, system.query());
    system.allowed = false; // revoked in the system's settings
    const bool reading = policy.grant(Tuning::permissionRecheck / 4, false, system.query());
    const bool foldStep = policy.grant(Tuning::permissionRecheck / 2, true, system.query());
    report.check(reading && !foldStep, "availability_permission_revoked_seen",
                 std::string("a step that may start a fold read ") +
                     (foldStep ? "granted" : "denied") + " after the revocation");
}

void answersReused(Reporter& report) {
    // A denial is reused briefly while the lid moves; a grant while folding.
    PermissionPolicy denied;
    Preflight off{false};
    denied.grant(0, true, off.query());
    denied.grant(Tuning::permissionDenialReuse * 0.9, true, off.query());
    const int deniedEarly = off.asked;
    denied.grant(Tuning::permissionDenialReuse, true, off.query());
    PermissionPolicy granted;
    Preflight on;
    granted.grant(0, false, on.query());
    granted.grant(Tuning::permissionRecheck * 0.9, false, on.query());
    const int grantedEarly = on.asked;
    granted.grant(Tuning::permissionRecheck, false, on.query());
    report.check(deniedEarly == 1 && off.asked == 2 && grantedEarly == 1 && on.asked == 2,
                 "availability_permission_reuse",
                 "denial queries " + std::to_string(deniedEarly) + " then " +
                     std::to_string(off.asked) + ", grant queries " + std::to_string(grantedEarly) +
                     " then " + std::to_string(on.asked));
}

void queryBudget(Reporter& report) {
    // Stepping at 120 Hz for 2 s while folding, and a lid moving while denied.
    constexpr int steps = 240;
    constexpr double rate = 120;
    PermissionPolicy folding;
    Preflight on;
    PermissionPolicy moving;
    Preflight off{false};
    for (int i = 0; i < steps; ++i) {
        folding.grant(i / rate, false, on.query());
        moving.grant(i / rate, true, off.query());
    }
    report.check(on.asked <= 2 && off.asked <= 2, "availability_permission_query_budget",
                 std::to_string(on.asked) + " queries folding, " + std::to_string(off.asked) +
                     " denied in 2 s, limit 2");
}

void clockBack(Reporter& report) {
    PermissionPolicy policy;
    Preflight system;
    policy.grant(100, false, system.query());
    policy.grant(50, false, system.query()); // the clock went back
    report.check(system.asked == 2, "availability_permission_clock_back",
                 std::to_string(system.asked) + " queries, want 2");
}

} // namespace

void availabilityChecks(Reporter& report) {
    const std::array<void (*)(Reporter&), 12> checks{
        precedenceWalk,    captureFailedYieldsToPermission,
        zeroReadingSensor, accordionAllowed,
        iconsAndDots,      textsDistinct,
        blockedAppNamed,   permissionName,
        revokedGrantSeen,  answersReused,
        queryBudget,       clockBack};
    for (const auto check : checks) {
        report.guarded("availability_", [&] { check(report); });
    }
}

} // namespace orvane
