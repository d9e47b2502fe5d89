// SPDX-License-Identifier: MIT
#include "settings/FoldSettings.h"
#include "settings/linux/DesktopEntryCatalog.h"
#include "settings/linux/IniSettingsStore.h"
#include "settings/linux/XdgAutostart.h"
#include "sound/linux/EvdevHaptics.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <doctest/doctest.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <string>

#include <sys/stat.h>

using namespace orvane;
using orvane::test::ScopedEnv;
using orvane::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

FoldSettings unusualSettings() {
    FoldSettings s;
    s.setStyle(FoldStyle::ridge);
    s.setPerspective(0.123456789012345);
    s.setBlur(0);
    s.setShadow(1);
    s.setClearAngle(117.25);
    s.setCoverMode(CoverMode::veil);
    s.setPaused(true);
    s.setSoundOnClear(false);
    s.setClearVolume(0.1);
    s.setHapticOnClear(true);
    s.setPauseInLowPower(false);
    // Text the INI syntax would otherwise take apart.
    s.setBlocklist({"org.example.A, B", "we=ird;[x]", "ünïcode", "\"quoted\""});
    s.setShowAngleInMenuBar(true);
    s.setAccordion(true);
    s.setAccordionVolume(1);
    s.setHasCompletedOnboarding(true);
    return s;
}

} // namespace

TEST_CASE("settings round-trip through the INI file") {
    TempDir dir;
    const fs::path file = dir.path() / "nested" / "settings.ini";
    {
        IniSettingsStore store(file.string());
        CHECK(FoldSettings::load(store) == FoldSettings{}); // no file yet
        CHECK(unusualSettings().save(store) == StoreStatus::ok);
    }
    REQUIRE(fs::exists(file));
    IniSettingsStore reread(file.string());
    CHECK(FoldSettings::load(reread) == unusualSettings());

    // Shorter lists replace longer ones entirely; an empty list stays empty.
    for (const std::vector<std::string>& list :
         {std::vector<std::string>{"one"}, std::vector<std::string>{}}) {
        FoldSettings s = unusualSettings();
        s.setBlocklist(list);
        {
            IniSettingsStore store(file.string());
            REQUIRE(s.save(store) == StoreStatus::ok);
        }
        IniSettingsStore again(file.string());
        CHECK(FoldSettings::load(again).blocklist == list);
    }
    // Nothing but the file itself is left in the folder.
    CHECK(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()) == 1);
}

TEST_CASE("a hand-damaged file loses only the damaged values") {
    TempDir dir;
    const fs::path file = dir.path() / "settings.ini";
    write(file, "[General]\n"
                "style=DUSK\n"
                "perspective=abc\n"
                "blur=0.25\n"
                "shadow=nan\n"
                "clearAngle=1e400\n"
                "coverMode=clock\n"
                "paused=maybe\n"
                "soundOnClear=false\n"
                "clearVolume=0.3, 0.4\n"
                "\x01\x02 not an ini line at all\n"
                "accordion=true\n"
                "accordionVolume=2\n"
                "blocklist\\size=many\n"
                "blocklist\\1\\id=firefox\n");
    IniSettingsStore store(file.string());
    const FoldSettings loaded = FoldSettings::load(store);
    FoldSettings expected;
    expected.style = FoldStyle::dusk;
    expected.blur = 0.25;
    expected.coverMode = CoverMode::clock;
    expected.soundOnClear = false;
    expected.accordion = true;
    expected.accordionVolume = 1;
    CHECK(loaded == expected);

    // Saving heals the file: it then reads back exactly.
    REQUIRE(loaded.save(store) == StoreStatus::ok);
    IniSettingsStore healed(file.string());
    CHECK(FoldSettings::load(healed) == loaded);
}

TEST_CASE("a list with a missing entry keeps the others") {
    TempDir dir;
    const fs::path file = dir.path() / "settings.ini";
    write(file, "[General]\nblocklist\\size=3\nblocklist\\1\\id=firefox\nblocklist\\3\\id=gimp\n");
    IniSettingsStore store(file.string());
    CHECK(FoldSettings::load(store).blocklist == std::vector<std::string>{"firefox", "gimp"});
}

TEST_CASE("a save that cannot be written says so and leaves nothing behind") {
    TempDir dir;
    // The settings folder's place is taken by a plain file.
    write(dir.path() / "blocked", "not a folder");
    IniSettingsStore store((dir.path() / "blocked" / "settings.ini").string());
    const StoreStatus status = FoldSettings{}.save(store);
    CHECK(status != StoreStatus::ok);
    CHECK_FALSE(describe(status).empty());
    CHECK(contents(dir.path() / "blocked") == "not a folder");
}

TEST_CASE("a settings path that is not a regular file is refused, never read or replaced") {
    TempDir dir;
    const fs::path fifo = dir.path() / "settings.ini";
    REQUIRE(::mkfifo(fifo.c_str(), 0600) == 0);
    const fs::path link = dir.path() / "link.ini";
    fs::create_symlink(fifo, link);
    for (const fs::path& path : {fifo, link}) {
        IniSettingsStore store(path.string());
        CHECK(store.problem() == StoreStatus::notAFile);
        // The run goes on with the settings in memory.
        FoldSettings edited;
        edited.setPaused(true);
        CHECK(edited.save(store) == StoreStatus::notAFile);
        CHECK(FoldSettings::load(store).paused);
    }
    CHECK(fs::is_fifo(fifo));

    // A lock that is not a file would make the save wait forever.
    const fs::path file = dir.path() / "locked.ini";
    fs::create_directory(dir.path() / "locked.ini.lock");
    IniSettingsStore locked(file.string());
    CHECK_FALSE(locked.problem());
    CHECK(FoldSettings{}.save(locked) == StoreStatus::lockBlocked);
    CHECK_FALSE(fs::exists(file));
}

TEST_CASE("the default settings file lives in the XDG config folder") {
    TempDir dir;
    const ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().string());
    CHECK(fs::path(IniSettingsStore::defaultPath()) == dir.path() / "orvane" / "settings.ini");
}

TEST_CASE("the login item is an autostart entry that can be switched on and off") {
    TempDir dir;
    const ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().string());
    XdgAutostart item = XdgAutostart::fromEnvironment("/opt/orvane/bin/orvane");
    CHECK(item.entryPath() == dir.path() / "autostart" / "app.orvane.Orvane.desktop");
    CHECK(item.status() == LoginItemStatus::notRegistered);
    CHECK_FALSE(item.setEnabled(false)); // switching off what is off is fine

    REQUIRE_FALSE(item.setEnabled(true));
    CHECK(item.status() == LoginItemStatus::enabled);
    const std::string entry = contents(item.entryPath());
    CHECK(entry.starts_with("[Desktop Entry]\n"));
    CHECK(entry.find("\nType=Application\n") != std::string::npos);
    CHECK(entry.find("\nExec=/opt/orvane/bin/orvane\nTryExec=/opt/orvane/bin/orvane\n") !=
          std::string::npos);
    CHECK(std::distance(fs::directory_iterator(dir.path() / "autostart"),
                        fs::directory_iterator()) == 1);

    REQUIRE_FALSE(item.setEnabled(false));
    CHECK(item.status() == LoginItemStatus::notRegistered);
    CHECK_FALSE(fs::exists(item.entryPath()));

    // The desktop's own switch in the entry counts.
    write(item.entryPath(), "[Desktop Entry]\nType=Application\nExec=orvane\nHidden=true\n");
    CHECK(item.status() == LoginItemStatus::notRegistered);
}

TEST_CASE("awkward executable paths are quoted so the entry runs them") {
    TempDir dir;
    XdgAutostart item(dir.path(), "/home/a b/100%/\"x\"$\\y");
    REQUIRE_FALSE(item.setEnabled(true));
    const std::string entry = contents(item.entryPath());
    CHECK(entry.find("\nExec=\"/home/a b/100%%/\\\\\"x\\\\\"\\\\$\\\\\\\\y\"\n") !=
          std::string::npos);

    XdgAutostart injected(dir.path(), "/bin/orvane\nHidden=true");
    REQUIRE_FALSE(injected.setEnabled(true));
    CHECK(injected.status() == LoginItemStatus::enabled);
}

TEST_CASE("login item failures are reported, not hidden") {
    TempDir dir;
    write(dir.path() / "config", "a file where the folder should be");
    XdgAutostart blocked(dir.path() / "config", "/usr/bin/orvane");
    const std::optional<LoginItemError> error = blocked.setEnabled(true);
    REQUIRE(error);
    CHECK(*error == LoginItemError::cannotCreateFolder);
    CHECK_FALSE(describe(*error).empty());

    CHECK(XdgAutostart(dir.path(), {}).status() == LoginItemStatus::notFound);
    {
        const ScopedEnv noXdg("XDG_CONFIG_HOME", std::nullopt);
        const ScopedEnv noHome("HOME", std::nullopt);
        XdgAutostart nowhere = XdgAutostart::fromEnvironment("/usr/bin/orvane");
        CHECK(nowhere.setEnabled(true) == LoginItemError::noConfigFolder);
    }
    const ScopedEnv noXdg("XDG_CONFIG_HOME", std::nullopt);
    const ScopedEnv home("HOME", dir.path().string());
    CHECK(XdgAutostart::fromEnvironment("/usr/bin/orvane").entryPath() ==
          dir.path() / ".config" / "autostart" / "app.orvane.Orvane.desktop");
}

TEST_CASE("installed apps are found by desktop-entry id or window class") {
    TempDir dir;
    const fs::path user = dir.path() / "user";
    const fs::path system = dir.path() / "system";
    write(system / "org.gimp.GIMP.desktop", "[Desktop Entry]\nName=GIMP\nIcon=gimp\n");
    write(system / "firefox-esr.desktop",
          "[Desktop Entry]\nName=Firefox ESR\nIcon=firefox-esr\nStartupWMClass=Firefox-esr\n");
    write(system / "kde" / "okular.desktop", "[Desktop Entry]\nName=Okular\n");
    write(system / "org.example.Gone.desktop", "[Desktop Entry]\nName=Gone\n");
    // The user's own entry hides the system one.
    write(user / "org.example.Gone.desktop", "[Desktop Entry]\nName=Gone\nHidden=true\n");
    write(dir.path() / "secret.desktop", "[Desktop Entry]\nName=Outside\n");

    const std::vector<RunningApp> running{{"org.gimp.GIMP", "GIMP", true}};
    DesktopEntryCatalog catalog({user, system}, {}, [&running] { return running; });
    const auto gimp = catalog.installedApp("org.gimp.GIMP");
    REQUIRE(gimp);
    CHECK(gimp->name == "GIMP");
    CHECK(gimp->icon == "gimp");
    CHECK(catalog.installedApp("firefox-esr")->name == "Firefox ESR");
    CHECK(catalog.installedApp("firefox-ESR")); // by window class, in any case
    CHECK(catalog.installedApp("kde-okular")->name == "Okular");
    CHECK_FALSE(catalog.installedApp("org.example.Gone"));
    CHECK_FALSE(catalog.installedApp("../secret"));
    CHECK_FALSE(catalog.installedApp("org.example.Missing"));
    CHECK_FALSE(catalog.installedApp(""));
    CHECK(catalog.runningApps().size() == 1);

    const ScopedEnv dataHome("XDG_DATA_HOME", user.string());
    const ScopedEnv dataDirs("XDG_DATA_DIRS", dir.path().string() + ":relative/ignored");
    write(dir.path() / "applications" / "org.gimp.GIMP.desktop",
          "[Desktop Entry]\nName=Other GIMP\nName[fr]=GIMP en français\n");
    const ScopedEnv lang("LC_ALL", std::string("fr_FR.UTF-8"));
    CHECK(DesktopEntryCatalog::fromEnvironment().installedApp("org.gimp.GIMP")->name ==
          "GIMP en français");
}

TEST_CASE("the tick drives the first touchpad that offers a rumble, and stays silent on refusal") {
    TempDir dir;
    const fs::path classes = dir.path() / "class";
    const auto device = [&](const char* name, const char* ff, const char* abs,
                            const char* properties) {
        const fs::path folder = classes / name / "device";
        fs::create_directories(folder / "capabilities");
        write(folder / "capabilities" / "ff", ff);
        write(folder / "capabilities" / "abs", abs);
        write(folder / "properties", properties);
    };
    // Words most significant first: FF_RUMBLE is bit 80, ABS_MT_POSITION_X bit 53.
    const char* rumble = "10000 0\n";
    const char* multiTouch = "20000000000000\n";
    CHECK_FALSE(EvdevHaptics::find(classes, dir.path() / "dev"));
    device("event2", "0\n", multiTouch, "1\n");  // a touchpad without force feedback
    device("event3", rumble, multiTouch, "2\n"); // a touchscreen
    device("event4", rumble, "3\n", "1\n");      // a mouse
    device("event5", "ffffffffffffffffffff\n", multiTouch, "1\n"); // damaged
    CHECK_FALSE(EvdevHaptics::find(classes, dir.path() / "dev"));
    device("event6", rumble, multiTouch, "5\n");
    // Its node cannot be opened (here: there is none).
    CHECK_FALSE(EvdevHaptics::find(classes, dir.path() / "dev"));
    fs::create_directories(dir.path() / "dev");
    write(dir.path() / "dev" / "event6", "");
    const auto haptics = EvdevHaptics::find(classes, dir.path() / "dev");
    REQUIRE(haptics);
    CHECK(haptics->device() == dir.path() / "dev" / "event6");
    // Not a device that takes effects: the tick fails once and then stays silent.
    CHECK_FALSE(haptics->tick());
    CHECK_FALSE(haptics->tick());
    CHECK(contents(dir.path() / "dev" / "event6").empty());
}
