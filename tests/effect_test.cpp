// SPDX-License-Identifier: MIT
#include "capture/PermissionPolicy.h"
#include "core/Availability.h"
#include "core/Tuning.h"
#include "effect/FrameRateCap.h"
#include "effect/PreviewAutoOff.h"
#include "settings/Blocklist.h"
#include "support/Doubles.h"

#include <doctest/doctest.h>

#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace doctest {
template <>
struct StringMaker<Availability> {
    // The menu line names the case and its payload, which is what a failure needs.
    static String convert(const Availability& value) {
        return value.presentation().menuLine.c_str();
    }
};
} // namespace doctest

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

AvailabilityInputs allGood() {
    AvailabilityInputs inputs;
    inputs.hasBuiltInDisplay = true;
    inputs.hasScreenRecording = true;
    inputs.sensorOpen = true;
    return inputs;
}

// Every availability with the icon and dot the status item shows for it.
struct Shown {
    Availability availability;
    IconVariant icon;
    DotColor dot;
};
std::vector<Shown> everyAvailability() {
    using I = IconVariant;
    using D = DotColor;
    return {{Availability::ready(), I::ready, D::green},
            {Availability::paused(), I::paused, D::grey},
            {Availability::asleep(), I::asleep, D::grey},
            {Availability::lowPower(), I::barred, D::amber},
            {Availability::thermal(), I::barred, D::amber},
            {Availability::blockedApp("Impress"), I::barred, D::amber},
            {Availability::unsupportedSession(), I::slashed, D::amber},
            {Availability::noDisplay(), I::barred, D::amber},
            {Availability::noPermission(), I::slashed, D::amber},
            {Availability::captureFailed(), I::slashed, D::amber},
            {Availability::effectUnavailable(), I::slashed, D::amber},
            {Availability::noSensor(false), I::slashed, D::amber},
            {Availability::noSensor(true), I::slashed, D::amber}};
}

} // namespace

TEST_CASE("resolve gives ready only when every fact is good and never gives effectUnavailable") {
    for (int bits = 0; bits < (1 << 11); ++bits) {
        const auto bit = [bits](int i) { return (bits >> i & 1) != 0; };
        AvailabilityInputs inputs{bit(0), bit(1), bit(2), bit(3), std::nullopt, bit(5),
                                  bit(6), bit(7), bit(8), bit(9), bit(10)};
        if (bit(4)) {
            inputs.frontmostBlockedApp = "Zoom";
        }
        CAPTURE(bits);
        const Availability result = Availability::resolve(inputs);
        CHECK(result != Availability::effectUnavailable());
        CHECK((result == Availability::ready()) == (inputs == allGood()));
    }
}

TEST_CASE("each availability shows its icon and dot, and texts of its own") {
    std::set<std::string> texts;
    for (const auto& [availability, icon, dot] : everyAvailability()) {
        const Availability shownFor = availability; // clang cannot capture a binding
        CAPTURE(shownFor);
        const StatusPresentation shown = availability.presentation();
        CHECK(shown.icon == icon);
        CHECK(shown.dotColor == dot);
        CHECK(shown.accessibilityLabel.starts_with("Orvane, "));
        texts.insert({shown.tooltip, shown.accessibilityLabel, shown.menuLine});
    }
    // No text is empty or shared, so each reason reads differently everywhere.
    CHECK_FALSE(texts.contains(""));
    CHECK(texts.size() == 3 * everyAvailability().size());
    CHECK(Availability::noPermission().presentation().menuLine.starts_with(
        PermissionName::screenRecording()));
    CHECK(Availability::blockedApp("Impress").presentation().menuLine ==
          "Paused while Impress is in front");
}

TEST_CASE("a refresh always asks the system, and every query is counted") {
    FakeSystem system;
    PermissionPolicy policy;
    system.recordingAllowed = true;
    CHECK(policy.refresh(1.0, system.preflight()));
    system.recordingAllowed = false;
    CHECK_FALSE(policy.refresh(1.0, system.preflight()));
    CHECK(system.recordingAsked == 2);
    CHECK(policy.queries == system.recordingAsked);
}

TEST_CASE("a non-finite time asks the system but never freezes the cache") {
    for (double bad : {notANumber, inf, -inf}) {
        CAPTURE(bad);
        FakeSystem system;
        system.recordingAllowed = true;
        PermissionPolicy policy;
        CHECK(policy.grant(bad, false, system.preflight()));
        CHECK_FALSE(policy.checkedAt.has_value());

        policy.grant(0.0, false, system.preflight());
        system.recordingAllowed = false;
        CHECK_FALSE(policy.grant(bad, false, system.preflight()));
        CHECK_FALSE(policy.refresh(bad, system.preflight()));
        CHECK(policy.checkedAt == 0.0);
        CHECK(system.recordingAsked == 4);

        // The cache still ages: a change in the system is seen at the next recheck.
        system.recordingAllowed = true;
        CHECK(policy.grant(Tuning::permissionRecheck, false, system.preflight()));
        CHECK(system.recordingAsked == 5);
        CHECK(policy.checkedAt == Tuning::permissionRecheck);
    }
}

TEST_CASE("a blocklist matches whole identifiers in any letter case") {
    const auto& list = Blocklist::defaultBundleIDs();
    CHECK(Blocklist::contains(list, "libreoffice-impress"));
    CHECK(Blocklist::contains(list, "LIBREOFFICE-IMPRESS"));
    CHECK(Blocklist::contains({"US.ZOOM.ZOOM"}, "us.zoom.zoom"));
}

TEST_CASE("normalizing a blocklist trims, drops empties and case duplicates, keeping first "
          "spellings in order") {
    CHECK(Blocklist::normalized({" US.Zoom.Zoom ", "us.zoom.zoom", "", "a.b"}) ==
          std::vector<std::string>{"US.Zoom.Zoom", "a.b"});
    CHECK(Blocklist::normalized({}).empty());
    CHECK(Blocklist::normalized({" \u00A0\n\u3000 "}).empty());

    SUBCASE("line breaks and Unicode spaces are trimmed from both ends") {
        CHECK(Blocklist::normalized({"\t\r\n a.b \v\f\n"}) == std::vector<std::string>{"a.b"});
        CHECK(Blocklist::normalized({"\u00A0\u3000a.b\u2028\u202F\u0085"}) ==
              std::vector<std::string>{"a.b"});
        CHECK(Blocklist::normalized({"\u2000\u200Aa.b\u205F\u1680\u2029"}) ==
              std::vector<std::string>{"a.b"});
    }
    SUBCASE("inner spaces and other characters are kept whole") {
        CHECK(Blocklist::normalized({" a b "}) == std::vector<std::string>{"a b"});
        // U+1000 ends in the same bytes as U+2000 and U+3000 without being a space.
        CHECK(Blocklist::normalized({"a.b\u1000", "\u00E9a"}) ==
              std::vector<std::string>{"a.b\u1000", "\u00E9a"});
    }
    SUBCASE("a trimmed entry duplicates an untrimmed one") {
        CHECK(Blocklist::normalized({"a.b", "\u00A0A.B\n"}) == std::vector<std::string>{"a.b"});
    }
}

TEST_CASE("a blocklist entry is shown by its installed name, then its built-in name, then its "
          "identifier") {
    // The default list is clean and every entry in it has a name.
    CHECK(Blocklist::normalized(Blocklist::defaultBundleIDs()) == Blocklist::defaultBundleIDs());
    for (const std::string& id : Blocklist::defaultBundleIDs()) {
        CHECK(Blocklist::defaultDisplayNames().contains(id));
    }
    for (const auto& [id, name] : Blocklist::defaultDisplayNames()) {
        const std::string entry = id; // clang cannot capture a binding
        CAPTURE(entry);
        CHECK(Blocklist::displayName(id, std::nullopt) == name);
        CHECK(Blocklist::displayName(id, "") == name);
        CHECK(Blocklist::displayName(id, "Installed") == "Installed");
    }
    SUBCASE("unknown identifiers and other letter cases show the identifier") {
        CHECK(Blocklist::displayName("org.example.App", std::nullopt) == "org.example.App");
        CHECK(Blocklist::displayName("US.ZOOM.ZOOM", std::nullopt) == "US.ZOOM.ZOOM");
        CHECK(Blocklist::displayName("org.example.App", "Example") == "Example");
    }
}

TEST_CASE("a manual preview ends after the idle timeout, counted inclusively") {
    const double touched = 1'700'000'000.0; // a wall-clock time
    CHECK_FALSE(PreviewAutoOff::shouldEnd(touched, touched + 29.9));
    CHECK(PreviewAutoOff::shouldEnd(touched, touched + 30.0));
    CHECK(PreviewAutoOff::shouldEnd(touched, touched + 300.0));

    SUBCASE("a fresh touch just before the deadline keeps it") {
        const double again = touched + 29.5;
        CHECK_FALSE(PreviewAutoOff::shouldEnd(again, touched + 30.0));
        CHECK(PreviewAutoOff::shouldEnd(again, again + 30.0));
    }
    SUBCASE("a given timeout replaces the default") {
        CHECK(PreviewAutoOff::shouldEnd(touched, touched + 5.0, 5.0));
        CHECK_FALSE(PreviewAutoOff::shouldEnd(touched, touched + 4.9, 5.0));
    }
    SUBCASE("non-finite times neither end it by accident nor hold it for good") {
        CHECK_FALSE(PreviewAutoOff::shouldEnd(touched, notANumber));
        CHECK_FALSE(PreviewAutoOff::shouldEnd(touched, -inf));
        CHECK(PreviewAutoOff::shouldEnd(touched, inf));
        for (double bad : {notANumber, inf, -inf}) {
            CAPTURE(bad);
            CHECK(PreviewAutoOff::shouldEnd(bad, touched));
        }
    }
}

TEST_CASE("the frame-rate cap follows heat, then power, then the built-in screen") {
    // Heat holds the thermal rate, even on mains power.
    for (ThermalState hot : {ThermalState::serious, ThermalState::critical}) {
        CHECK(frameRateCap(hot, true, 120) == Tuning::fpsThermal);
        CHECK(frameRateCap(hot, false, 120) == Tuning::fpsThermal);
        CHECK(frameRateCap(hot, true, std::nullopt) == Tuning::fpsThermal);
    }
    // On battery the battery rate holds, whatever the screen can do.
    CHECK(frameRateCap(ThermalState::fair, false, 120) == Tuning::fpsBattery);
    CHECK(frameRateCap(ThermalState::nominal, false, 24) == Tuning::fpsBattery);
    // On mains power the built-in screen's maximum holds, at least 1, and
    // without a built-in screen the battery rate.
    CHECK(frameRateCap(ThermalState::nominal, true, 120) == 120);
    CHECK(frameRateCap(ThermalState::fair, true, 48) == 48);
    CHECK(frameRateCap(ThermalState::nominal, true, 0) == 1);
    CHECK(frameRateCap(ThermalState::nominal, true, -5) == 1);
    CHECK(frameRateCap(ThermalState::nominal, true, std::nullopt) == Tuning::fpsBattery);
}
