// SPDX-License-Identifier: MIT
#include "settings/DesktopEntry.h"
#include "settings/FoldSettings.h"
#include "settings/MemorySettingsStore.h"
#include "settings/URLCommand.h"

#include <doctest/doctest.h>

#include <limits>

using namespace orvane;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

FoldSettings everyFieldChanged() {
    return FoldSettings{
        .style = FoldStyle::ridge,
        .perspective = 0.1,
        .blur = 0.2,
        .shadow = 0.3,
        .clearAngle = 120,
        .coverMode = CoverMode::clock,
        .paused = true,
        .previewAngle = 60,
        .soundOnClear = false,
        .clearVolume = 0.4,
        .hapticOnClear = true,
        .pauseInLowPower = false,
        .blocklist = {"org.gnome.Nautilus", "firefox"},
        .showAngleInMenuBar = true,
        .accordion = true,
        .accordionVolume = 0.9,
        .hasCompletedOnboarding = true,
        .builtInScreen = "DP-2",
    };
}

URLCommand parse(const char* url) {
    const std::optional<URLCommand> command = URLCommand::parse(url);
    REQUIRE(command);
    return *command;
}

} // namespace

TEST_CASE("settings survive a save and a load") {
    const FoldSettings changed = everyFieldChanged();
    MemorySettingsStore other;
    CHECK(changed.save(other) == StoreStatus::ok);
    FoldSettings expected = changed;
    expected.previewAngle.reset(); // runtime only
    CHECK(FoldSettings::load(other) == expected);
    CHECK_FALSE(other.contains("previewAngle"));

    // An empty store is the default record, with the default blocklist.
    const FoldSettings fresh = FoldSettings::load(MemorySettingsStore{});
    CHECK(fresh == FoldSettings{});
    CHECK(fresh.blocklist == Blocklist::defaultBundleIDs());

    SUBCASE("the built-in screen's name is kept without surrounding spaces") {
        MemorySettingsStore named;
        named.put(SettingsKey::builtInScreen, std::string(" eDP-1\n"));
        CHECK(FoldSettings::load(named).builtInScreen == "eDP-1");
        named.put(SettingsKey::builtInScreen, 3.0); // wrongly typed: automatic
        CHECK(FoldSettings::load(named).builtInScreen.empty());
    }
}

TEST_CASE("setters clamp and ignore non-finite values") {
    FoldSettings s;
    s.setBlur(-1);
    CHECK(s.blur == 0);
    s.setClearAngle(12);
    CHECK(s.clearAngle == 70);
    s.setPreviewAngle(999);
    CHECK(s.previewAngle == 135);
    s.setPreviewAngle(-5);
    CHECK(s.previewAngle == 0);
    s.setPreviewAngle(notANumber);
    CHECK(s.previewAngle == 0);
    s.setPreviewAngle(std::nullopt);
    CHECK_FALSE(s.previewAngle);

    const FoldSettings before = s;
    for (double bad : {notANumber, inf, -inf}) {
        s.setPerspective(bad);
        s.setBlur(bad);
        s.setShadow(bad);
        s.setClearAngle(bad);
        s.setClearVolume(bad);
        s.setAccordionVolume(bad);
    }
    CHECK(s == before);

    s.setBlocklist({"  us.zoom.zoom ", "US.ZOOM.ZOOM", "", "firefox"});
    CHECK(s.blocklist == std::vector<std::string>{"us.zoom.zoom", "firefox"});
}

TEST_CASE("a damaged store loses only the damaged values") {
    MemorySettingsStore store;
    everyFieldChanged().save(store);
    for (const char* key :
         {"perspective", "blur", "shadow", "clearAngle", "clearVolume", "accordionVolume"}) {
        store.put(key, notANumber);
    }
    store.put("paused", std::string("yes"));  // wrong type
    store.put("blocklist", std::string("a")); // not a list
    store.put("style", 3.0);                  // not a string
    FoldSettings expected;
    expected.coverMode = CoverMode::clock;
    expected.soundOnClear = false;
    expected.hapticOnClear = true;
    expected.pauseInLowPower = false;
    expected.showAngleInMenuBar = true;
    expected.accordion = true;
    expected.hasCompletedOnboarding = true;
    expected.builtInScreen = "DP-2";
    CHECK(FoldSettings::load(store) == expected);

    // Out-of-range stored values are clamped, not dropped.
    store.put("clearAngle", 500.0);
    store.put("perspective", -2.0);
    CHECK(FoldSettings::load(store).clearAngle == 130);
    CHECK(FoldSettings::load(store).perspective == 0);
    // An empty stored list is an empty blocklist, not the default one.
    store.put("blocklist", std::vector<std::string>{});
    CHECK(FoldSettings::load(store).blocklist.empty());
}

TEST_CASE("stored names are read leniently, older names included") {
    MemorySettingsStore store;
    const auto loadedWith = [&store](const char* key, const char* value) {
        store.put(key, std::string(value));
        return FoldSettings::load(store);
    };
    CHECK(loadedWith("coverMode", "FrOsT").coverMode == CoverMode::veil);
    CHECK(loadedWith("coverMode", "clock").coverMode == CoverMode::clock);
    CHECK(loadedWith("coverMode", "lid").coverMode == CoverMode::off);
    CHECK(loadedWith("style", "SILK").style == FoldStyle::vellum);
    CHECK(loadedWith("style", "Shade").style == FoldStyle::dusk);
    CHECK(loadedWith("style", "FROST").style == FoldStyle::rime);
    CHECK(loadedWith("style", "paper").style == FoldStyle::vellum);
}

TEST_CASE("URL commands change exactly what they name") {
    const FoldSettings base = everyFieldChanged();
    const auto applied = [&base](const char* url, bool changes = true) {
        FoldSettings s = base;
        CHECK(s.apply(parse(url)) == changes);
        return s;
    };
    FoldSettings expected = base;
    expected.style = FoldStyle::rime;
    expected.perspective = 0.6;
    expected.clearAngle = 110;
    CHECK(applied("orvane://set?style=rime&perspective=0.6&clear=110") == expected);
    expected = base;
    expected.paused = false;
    CHECK(applied("orvane://resume") == expected);
    CHECK(applied("orvane://pause") == base);
    expected = base;
    expected.coverMode = CoverMode::veil;
    CHECK(applied("orvane://cover?mode=veil") == expected);
    CHECK(applied("orvane://preview?angle=55&seconds=8", false) == base);

    // The setters clamp again, whatever a command carries.
    FoldSettings s = base;
    URLCommand::Set raw;
    raw.perspective = 9;
    raw.clearAngle = notANumber;
    s.apply(URLCommand{raw});
    CHECK(s.perspective == 1);
    CHECK(s.clearAngle == base.clearAngle);
}

TEST_CASE("desktop entries give an app's name and icon") {
    const char* text = "# comment\n"
                       "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Files\n"
                       "Name[de]=Dateien\n"
                       "Name[de_AT]=Dateien (AT)\n"
                       "Name = Ignored, the first wins\n"
                       "Icon=org.gnome.Nautilus\n"
                       "StartupWMClass=nautilus\n"
                       "Comment=Access\\sand organize\n"
                       "[Desktop Action new-window]\n"
                       "Name=New Window\n"
                       "Hidden=true\n";
    const auto plain = parseDesktopEntry(text, {});
    REQUIRE(plain);
    CHECK(plain->name == "Files");
    CHECK(plain->icon == "org.gnome.Nautilus");
    CHECK(plain->startupWMClass == "nautilus");
    CHECK_FALSE(plain->hidden); // that Hidden belongs to an action group
    CHECK(parseDesktopEntry(text, localeCandidates("de_DE.UTF-8"))->name == "Dateien");
    CHECK(parseDesktopEntry(text, localeCandidates("de_AT"))->name == "Dateien (AT)");
    CHECK(parseDesktopEntry(text, localeCandidates("fr_FR.UTF-8"))->name == "Files");

    CHECK(localeCandidates("sr_RS.UTF-8@latin") ==
          std::vector<std::string>{"sr_RS@latin", "sr_RS", "sr@latin", "sr"});
    CHECK(localeCandidates("C").empty());
    CHECK(localeCandidates("").empty());

    CHECK_FALSE(parseDesktopEntry("", {}));
    CHECK_FALSE(parseDesktopEntry("Name=Outside any group\n", {}));
    CHECK_FALSE(parseDesktopEntry("[Other]\nName=Wrong group\n", {}));
    CHECK_FALSE(parseDesktopEntry("[Desktop Entry]\nName=\n", {}));
    CHECK(parseDesktopEntry("[Desktop Entry]\r\nName=Dos\r\nHidden=true\r\n", {})->hidden);
    CHECK(parseDesktopEntry("[Desktop Entry]\nName=Trailing\\", {})->name == "Trailing\\");
}
