// SPDX-License-Identifier: MIT
#include "core/Availability.h"
#include "core/Tuning.h"
#include "effect/FrameRateCap.h"
#include "effect/PermissionPolicy.h"
#include "effect/PreviewAutoOff.h"
#include "settings/Blocklist.h"

#include <doctest/doctest.h>

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace orvane;

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

std::vector<Availability> everyAvailability() {
    return {Availability::blockedApp("Keynote"),
            Availability::noSensor(false),
            Availability::noSensor(true),
            Availability::paused(),
            Availability::asleep(),
            Availability::lowPower(),
            Availability::thermal(),
            Availability::noDisplay(),
            Availability::noPermission(),
            Availability::captureFailed(),
            Availability::effectUnavailable(),
            Availability::ready()};
}

// The system's permission switch, counting how often it is asked.
struct FakeSystem {
    bool allowed = false;
    int asked = 0;
    std::function<bool()> preflight() {
        return [this] {
            ++asked;
            return allowed;
        };
    }
};

} // namespace

TEST_CASE("with every fact against the effect, clearing them in precedence order walks each "
          "reason down to ready") {
    AvailabilityInputs inputs{true, true, true, true, "Keynote", false, false, false, true, true};
    CHECK(Availability::resolve(inputs) == Availability::paused());

    const std::vector<std::pair<std::function<void()>, Availability>> steps{
        {[&] { inputs.paused = false; }, Availability::asleep()},
        {[&] { inputs.screenAsleep = false; }, Availability::lowPower()},
        {[&] { inputs.lowPower = false; }, Availability::thermal()},
        {[&] { inputs.thermalCritical = false; }, Availability::blockedApp("Keynote")},
        {[&] { inputs.frontmostBlockedApp.reset(); }, Availability::noDisplay()},
        {[&] { inputs.hasBuiltInDisplay = true; }, Availability::noPermission()},
        {[&] { inputs.hasScreenRecording = true; }, Availability::captureFailed()},
        {[&] { inputs.captureFailing = false; }, Availability::noSensor(false)},
        {[&] { inputs.sensorOpen = true; }, Availability::noSensor(true)},
        {[&] { inputs.sensorReadsZero = false; }, Availability::ready()},
    };
    for (const auto& [clear, expected] : steps) {
        clear();
        CHECK(Availability::resolve(inputs) == expected);
    }
    CHECK(inputs == allGood());
}

TEST_CASE("a missing permission outranks a failing capture") {
    AvailabilityInputs inputs = allGood();
    inputs.captureFailing = true;
    SUBCASE("with permission the capture failure shows") {
        CHECK(Availability::resolve(inputs) == Availability::captureFailed());
    }
    SUBCASE("without permission the missing permission shows") {
        inputs.hasScreenRecording = false;
        CHECK(Availability::resolve(inputs) == Availability::noPermission());
    }
}

TEST_CASE("resolve gives ready only when every fact is good and never gives effectUnavailable") {
    for (int bits = 0; bits < (1 << 10); ++bits) {
        const auto bit = [bits](int i) { return (bits >> i & 1) != 0; };
        AvailabilityInputs inputs{bit(0), bit(1), bit(2), bit(3), std::nullopt,
                                  bit(5), bit(6), bit(7), bit(8), bit(9)};
        if (bit(4)) {
            inputs.frontmostBlockedApp = "Zoom";
        }
        CAPTURE(bits);
        const Availability result = Availability::resolve(inputs);
        CHECK(result != Availability::effectUnavailable());
        CHECK((result == Availability::ready()) == (inputs == allGood()));
    }
}

TEST_CASE("availabilities are equal by case and payload") {
    CHECK(Availability::blockedApp("Keynote") == Availability::blockedApp("Keynote"));
    CHECK(Availability::blockedApp("Keynote") != Availability::blockedApp("Zoom"));
    CHECK(Availability::noSensor(true) != Availability::noSensor(false));
    CHECK(Availability::paused() != Availability::asleep());
    CHECK(Availability::blockedApp("Keynote").blockedAppName() == "Keynote");
    CHECK(Availability::noSensor(true).readsZero());
    CHECK_FALSE(Availability::ready().readsZero());
}

TEST_CASE("the accordion is allowed exactly when the lid can drive it") {
    for (const Availability& availability : everyAvailability()) {
        CAPTURE(availability);
        const bool expected = availability == Availability::ready() ||
                              availability == Availability::noPermission() ||
                              availability == Availability::captureFailed();
        CHECK(availability.allowsAccordion() == expected);
    }
}

TEST_CASE("each availability shows its icon, dot and texts") {
    using I = IconVariant;
    using D = DotColor;
    const std::vector<std::pair<Availability, StatusPresentation>> table{
        {Availability::ready(),
         {I::ready, "Orvane follows the lid.", "Orvane, follows the lid", "Follows the lid",
          D::green}},
        {Availability::paused(),
         {I::paused, "Orvane is paused. The desktop stays put.", "Orvane, paused", "Paused",
          D::grey}},
        {Availability::asleep(),
         {I::asleep, "Orvane is waiting for the screen.", "Orvane, waiting for the screen",
          "Waiting for the screen", D::grey}},
        {Availability::lowPower(),
         {I::barred, "Orvane is paused in Low Power Mode.", "Orvane, paused in Low Power Mode",
          "Paused in Low Power Mode", D::amber}},
        {Availability::thermal(),
         {I::barred, "Orvane is paused while the computer is hot.",
          "Orvane, paused while the computer is hot", "Paused while the computer is hot",
          D::amber}},
        {Availability::blockedApp("Zoom"),
         {I::barred, "Orvane is paused while Zoom is in front.",
          "Orvane, paused while Zoom is in front", "Paused while Zoom is in front", D::amber}},
        {Availability::noDisplay(),
         {I::barred, "Orvane needs the built-in display. None is available.",
          "Orvane, no built-in display", "No built-in display", D::amber}},
        {Availability::noPermission(),
         {I::slashed, "Screen Recording is off. Orvane cannot fold the desktop.",
          "Orvane, Screen Recording is off", "Screen Recording is off", D::amber}},
        {Availability::captureFailed(),
         {I::slashed, "Screen capture failed. Orvane tries again on the next lid move.",
          "Orvane, screen capture failed", "Screen capture failed. Retrying.", D::amber}},
        {Availability::effectUnavailable(),
         {I::slashed, "Orvane cannot draw the fold on this computer. OpenGL is not available.",
          "Orvane, cannot draw on this computer", "Cannot draw on this computer", D::amber}},
        {Availability::noSensor(false),
         {I::slashed, "Orvane cannot read the lid angle. Manual preview still works.",
          "Orvane, no lid sensor", "No lid sensor. Preview still works.", D::amber}},
        {Availability::noSensor(true),
         {I::slashed, "The lid sensor reads 0. Open the lid to test Orvane.",
          "Orvane, lid sensor reads 0", "Lid sensor reads 0. Open the lid to test.", D::amber}},
    };
    REQUIRE(table.size() == everyAvailability().size());
    for (const auto& [availability, expected] : table) {
        const StatusPresentation shown = availability.presentation();
        INFO(shown.menuLine);
        CHECK(shown.icon == expected.icon);
        CHECK(shown.dotColor == expected.dotColor);
        CHECK(shown.tooltip == expected.tooltip);
        CHECK(shown.accessibilityLabel == expected.accessibilityLabel);
        CHECK(shown.menuLine == expected.menuLine);
    }
}

TEST_CASE("a blocked app is named in the menu line") {
    CHECK(Availability::blockedApp("Keynote").presentation().menuLine ==
          "Paused while Keynote is in front");
    SUBCASE("an app without a name appears by its identifier") {
        CHECK(Availability::blockedApp("us.zoom.xos").presentation().menuLine ==
              "Paused while us.zoom.xos is in front");
    }
}

TEST_CASE("icon variants, dot colours and the permission have their stored names") {
    CHECK(rawValue(IconVariant::ready) == "ready");
    CHECK(rawValue(IconVariant::paused) == "paused");
    CHECK(rawValue(IconVariant::asleep) == "asleep");
    CHECK(rawValue(IconVariant::barred) == "barred");
    CHECK(rawValue(IconVariant::slashed) == "slashed");
    CHECK(rawValue(DotColor::green) == "green");
    CHECK(rawValue(DotColor::grey) == "grey");
    CHECK(rawValue(DotColor::amber) == "amber");
    CHECK(PermissionName::screenRecording() == "Screen Recording");
}

TEST_CASE("the first permission check asks the system and the answer is then reused") {
    FakeSystem system{true};
    PermissionPolicy policy;
    CHECK(policy == PermissionPolicy{false, std::nullopt, 0});
    CHECK(policy.grant(10.0, false, system.preflight()));
    CHECK(policy == PermissionPolicy{true, 10.0, 1});
    CHECK(policy.grant(10.5, false, system.preflight()));
    CHECK(system.asked == 1);
}

TEST_CASE("a cached grant is never trusted on a step that may start a fold") {
    FakeSystem system{true};
    PermissionPolicy policy;
    policy.grant(0.0, false, system.preflight());
    system.allowed = false; // revoked in the system's settings

    SUBCASE("the step that may start the fold sees the revocation at once") {
        CHECK_FALSE(policy.grant(0.1, true, system.preflight()));
        CHECK(policy.queries == 2);
    }
    SUBCASE("without a fold starting the grant is reused for a second") {
        CHECK(policy.grant(0.99, false, system.preflight()));
        CHECK(policy.queries == 1);
        CHECK_FALSE(policy.grant(Tuning::permissionRecheck, false, system.preflight()));
        CHECK(policy.queries == 2);
    }
}

TEST_CASE("a denial is reused for a second when a fold may start") {
    FakeSystem system{false};
    PermissionPolicy policy;
    CHECK_FALSE(policy.grant(0.0, true, system.preflight()));
    system.allowed = true;
    CHECK_FALSE(policy.grant(0.5, true, system.preflight()));
    CHECK_FALSE(policy.grant(0.99, true, system.preflight()));
    CHECK(system.asked == 1);
    CHECK(policy.grant(Tuning::permissionDenialReuse, true, system.preflight()));
    CHECK(system.asked == 2);
}

TEST_CASE("the clock going back makes the policy ask again") {
    FakeSystem system{true};
    PermissionPolicy policy;
    policy.grant(10.0, false, system.preflight());
    system.allowed = false;
    CHECK_FALSE(policy.grant(5.0, false, system.preflight()));
    CHECK(policy.checkedAt == 5.0);
    CHECK(policy.queries == 2);
}

TEST_CASE("refreshing the permission always asks the system") {
    FakeSystem system{true};
    PermissionPolicy policy;
    CHECK(policy.refresh(1.0, system.preflight()));
    system.allowed = false;
    CHECK_FALSE(policy.refresh(1.0, system.preflight()));
    CHECK(policy == PermissionPolicy{false, 1.0, 2});
    CHECK(system.asked == 2);
}

TEST_CASE("the permission query stays off the per-frame path") {
    FakeSystem system;
    PermissionPolicy policy;
    SUBCASE("200 availability reads make one query") {
        system.allowed = true;
        for (int i = 0; i < 200; ++i) {
            CHECK(policy.grant(100.0 + i * 0.001, false, system.preflight()));
        }
        CHECK(system.asked == 1);
    }
    SUBCASE("folding at 120 Hz for 2 s with a grant makes at most 2 queries") {
        system.allowed = true;
        for (int i = 0; i < 240; ++i) {
            policy.grant(100.0 + i / 120.0, false, system.preflight());
        }
        CHECK(system.asked <= 2);
    }
    SUBCASE("a lid moving at 120 Hz for 2 s while denied asks about once a second") {
        for (int i = 0; i < 240; ++i) {
            CHECK_FALSE(policy.grant(100.0 + i / 120.0, true, system.preflight()));
        }
        CHECK(system.asked >= 2);
        CHECK(system.asked <= 3);
    }
    CHECK(policy.queries == system.asked);
}

TEST_CASE("a non-finite time asks the system but never freezes the cache") {
    for (double bad : {notANumber, inf, -inf}) {
        CAPTURE(bad);
        FakeSystem system{true};
        PermissionPolicy policy;
        CHECK(policy.grant(bad, false, system.preflight()));
        CHECK_FALSE(policy.checkedAt.has_value());

        policy.grant(0.0, false, system.preflight());
        system.allowed = false;
        CHECK_FALSE(policy.grant(bad, false, system.preflight()));
        CHECK_FALSE(policy.refresh(bad, system.preflight()));
        CHECK(policy.checkedAt == 0.0);
        CHECK(policy.queries == 4);

        // The cache still ages: a change in the system is seen at the next recheck.
        system.allowed = true;
        CHECK(policy.grant(Tuning::permissionRecheck, false, system.preflight()));
        CHECK(policy.queries == 5);
        CHECK(policy.checkedAt == Tuning::permissionRecheck);
    }
}

TEST_CASE("the default blocklist names presentation and call apps") {
    CHECK(Blocklist::normalized(Blocklist::defaultBundleIDs()) == Blocklist::defaultBundleIDs());
    for (const std::string& id : Blocklist::defaultBundleIDs()) {
        CHECK(Blocklist::defaultDisplayNames().contains(id));
    }
}

TEST_CASE("a blocklist matches whole identifiers in any letter case") {
    const auto& list = Blocklist::defaultBundleIDs();
    CHECK(Blocklist::contains(list, "libreoffice-impress"));
    CHECK(Blocklist::contains(list, "LIBREOFFICE-IMPRESS"));
    CHECK(Blocklist::contains({"US.ZOOM.XOS"}, "us.zoom.xos"));

    SUBCASE("absent and empty identifiers never match") {
        CHECK_FALSE(Blocklist::contains(list, std::nullopt));
        CHECK_FALSE(Blocklist::contains(list, ""));
        CHECK_FALSE(Blocklist::contains({""}, ""));
    }
    SUBCASE("prefixes and longer identifiers never match") {
        CHECK_FALSE(Blocklist::contains(list, "libreoffice"));
        CHECK_FALSE(Blocklist::contains(list, "libreoffice-impress.helper"));
        CHECK_FALSE(Blocklist::contains(list, "x.libreoffice-impress"));
        CHECK_FALSE(Blocklist::contains({"libreoffice-impress.helper"}, "libreoffice"));
    }
    SUBCASE("an empty list never matches") {
        CHECK_FALSE(Blocklist::contains({}, "libreoffice-impress"));
    }
}

TEST_CASE("normalizing a blocklist trims, drops empties and case duplicates, keeping first "
          "spellings in order") {
    CHECK(Blocklist::normalized({" US.Zoom.XOS ", "us.zoom.xos", "", "a.b"}) ==
          std::vector<std::string>{"US.Zoom.XOS", "a.b"});
    CHECK(Blocklist::normalized({}).empty());

    SUBCASE("line breaks and Unicode spaces are trimmed from both ends") {
        CHECK(Blocklist::normalized({"\t\r\n a.b \v\f\n"}) == std::vector<std::string>{"a.b"});
        CHECK(Blocklist::normalized({"\u00A0\u3000a.b\u2028\u202F\u0085"}) ==
              std::vector<std::string>{"a.b"});
        CHECK(Blocklist::normalized({"\u2000\u200Aa.b\u205F\u1680\u2029"}) ==
              std::vector<std::string>{"a.b"});
    }
    SUBCASE("an entry of spaces only is dropped") {
        CHECK(Blocklist::normalized({" \u00A0\n\u3000 "}).empty());
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
    const std::vector<std::pair<std::string, std::string>> builtIn{
        {"org.libreoffice.LibreOffice.impress", "LibreOffice Impress"},
        {"us.zoom.Zoom", "Zoom"},
        {"teams-for-linux", "Microsoft Teams"},
    };
    for (const auto& entry : builtIn) {
        CAPTURE(entry.first);
        CHECK(Blocklist::displayName(entry.first, std::nullopt) == entry.second);
        CHECK(Blocklist::displayName(entry.first, "") == entry.second);
        CHECK(Blocklist::displayName(entry.first, "Installed") == "Installed");
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
}

TEST_CASE("non-finite times neither end a preview by accident nor hold it for good") {
    const double touched = 1'700'000'000.0;
    SUBCASE("an unreadable clock does not end it") {
        CHECK_FALSE(PreviewAutoOff::shouldEnd(touched, notANumber));
        CHECK_FALSE(PreviewAutoOff::shouldEnd(touched, -inf));
    }
    SUBCASE("a clock at infinity ends it") {
        CHECK(PreviewAutoOff::shouldEnd(touched, inf));
    }
    SUBCASE("an interaction that cannot be dated ends it") {
        for (double bad : {notANumber, inf, -inf}) {
            CAPTURE(bad);
            CHECK(PreviewAutoOff::shouldEnd(bad, touched));
        }
    }
}

TEST_CASE("the frame-rate cap follows heat, then power, then the built-in screen") {
    SUBCASE("a hot system is held to the thermal rate even on mains power") {
        for (ThermalState hot : {ThermalState::serious, ThermalState::critical}) {
            CHECK(frameRateCap(hot, true, 120) == Tuning::fpsThermal);
            CHECK(frameRateCap(hot, false, 120) == Tuning::fpsThermal);
            CHECK(frameRateCap(hot, true, std::nullopt) == Tuning::fpsThermal);
        }
    }
    SUBCASE("on battery the battery rate holds whatever the screen can do") {
        for (ThermalState cool : {ThermalState::nominal, ThermalState::fair}) {
            CHECK(frameRateCap(cool, false, 120) == Tuning::fpsBattery);
            CHECK(frameRateCap(cool, false, 24) == Tuning::fpsBattery);
        }
    }
    SUBCASE("on mains power the built-in screen's maximum holds, at least 1") {
        CHECK(frameRateCap(ThermalState::nominal, true, 120) == 120);
        CHECK(frameRateCap(ThermalState::fair, true, 48) == 48);
        CHECK(frameRateCap(ThermalState::nominal, true, 0) == 1);
        CHECK(frameRateCap(ThermalState::nominal, true, -5) == 1);
    }
    SUBCASE("without a built-in screen on mains power the battery rate holds") {
        CHECK(frameRateCap(ThermalState::nominal, true, std::nullopt) == Tuning::fpsBattery);
    }
}
