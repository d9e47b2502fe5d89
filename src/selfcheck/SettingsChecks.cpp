// SPDX-License-Identifier: MIT
// The settings record's clamps, healing and round trip over throwaway stores;
// URL commands as parsed; and URL commands applied end to end through the
// effect controller.
#include "core/AppIdentity.h"
#include "core/Tuning.h"
#include "doubles/EffectRig.h"
#include "selfcheck/ComponentChecks.h"
#include "selfcheck/Quoted.h"
#include "settings/FoldSettings.h"
#include "settings/MemorySettingsStore.h"
#include "settings/URLCommand.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace orvane {

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

std::string suite(std::string_view purpose) {
    return std::string(AppIdentity::identifier) + std::string(purpose);
}

std::string num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string show(const std::optional<double>& value) {
    return value ? num(*value) : "none";
}

// A record that differs from the defaults in every stored field.
FoldSettings everyFieldChanged() {
    FoldSettings s;
    s.style = FoldStyle::ridge;
    s.perspective = 0.1;
    s.blur = 0.2;
    s.shadow = 0.3;
    s.clearAngle = 111;
    s.coverMode = CoverMode::clock;
    s.paused = true;
    s.previewAngle = 40;
    s.soundOnClear = false;
    s.clearVolume = 0.25;
    s.hapticOnClear = true;
    s.pauseInLowPower = false;
    s.blocklist = {"org.example.Slides"};
    s.showAngleInMenuBar = true;
    s.accordion = true;
    s.accordionVolume = 0.35;
    s.hasCompletedOnboarding = true;
    s.builtInScreen = "eDP-2";
    return s;
}

void roundTrip(Reporter& report) {
    MemorySettingsStore throwaway; // the ".selftest" suite
    const FoldSettings defaults;
    defaults.save(throwaway);
    report.check(FoldSettings::load(throwaway) == defaults, "settings_round_trip_defaults",
                 "the default record came back different");
    MemorySettingsStore changedSuite;
    const FoldSettings changed = everyFieldChanged();
    changed.save(changedSuite);
    const FoldSettings loaded = FoldSettings::load(changedSuite);
    FoldSettings want = changed;
    want.previewAngle.reset(); // runtime only, never stored
    report.check(loaded == want, "settings_round_trip_changed",
                 "came back different; preview angle " + show(loaded.previewAngle));
}

void clamps(Reporter& report) {
    FoldSettings s;
    s.setPerspective(7);
    const double perspective = s.perspective;
    s.setClearAngle(300);
    const double clearHigh = s.clearAngle;
    s.setClearAngle(12);
    const double clearLow = s.clearAngle;
    s.setPreviewAngle(999);
    const auto previewHigh = s.previewAngle;
    s.setPreviewAngle(-5);
    const auto previewLow = s.previewAngle;
    report.check(perspective == 1 && clearHigh == Tuning::maxClearAngle &&
                     clearLow == Tuning::minClearAngle && previewHigh == Tuning::maxObservedAngle &&
                     previewLow == 0,
                 "settings_clamps",
                 "perspective " + num(perspective) + ", clear " + num(clearHigh) + " and " +
                     num(clearLow) + ", preview " + show(previewHigh) + " and " + show(previewLow));

    FoldSettings guarded;
    const FoldSettings before = guarded;
    for (const double bad : {notANumber, inf, -inf}) {
        guarded.setPerspective(bad);
        guarded.setBlur(bad);
        guarded.setShadow(bad);
        guarded.setClearAngle(bad);
        guarded.setClearVolume(bad);
        guarded.setAccordionVolume(bad);
        guarded.setPreviewAngle(bad);
    }
    report.check(guarded == before, "settings_setters_refuse_non_finite",
                 "a setter stored a non-finite value");
}

void healing(Reporter& report) {
    // The ".selftest.nonfinite" suite: a store damaged under every double key.
    const std::string name = suite(".selftest.nonfinite");
    MemorySettingsStore poisoned;
    FoldSettings().save(poisoned);
    const std::array<std::string_view, 6> keys{
        SettingsKey::perspective, SettingsKey::blur,        SettingsKey::shadow,
        SettingsKey::clearAngle,  SettingsKey::clearVolume, SettingsKey::accordionVolume};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        poisoned.put(keys[i], i % 3 == 0 ? notANumber : i % 3 == 1 ? inf : -inf);
    }
    const FoldSettings loaded = FoldSettings::load(poisoned);
    loaded.save(poisoned);
    bool healed = true;
    for (const std::string_view key : keys) {
        const auto value = poisoned.readDouble(key);
        healed = healed && value && std::isfinite(*value);
    }
    report.check(loaded == FoldSettings() && healed, "settings_heal_non_finite",
                 name + (loaded == FoldSettings() ? "" : " did not load as the defaults") +
                     (healed ? "" : " kept a non-finite value after saving"));
}

void legacyNames(Reporter& report) {
    const auto coverOf = [](std::string_view stored) {
        MemorySettingsStore store;
        store.writeString(SettingsKey::coverMode, stored);
        return FoldSettings::load(store).coverMode;
    };
    const CoverMode frost = coverOf("FrOsT");
    const CoverMode clock = coverOf("clock");
    const CoverMode lid = coverOf("lid");
    report.check(frost == CoverMode::veil && clock == CoverMode::clock && lid == CoverMode::off,
                 "settings_cover_mode_names",
                 std::string("FrOsT ") + std::string(rawValue(frost)) + ", clock " +
                     std::string(rawValue(clock)) + ", lid " + std::string(rawValue(lid)));
    const auto styleOf = [](std::string_view stored) {
        MemorySettingsStore store;
        store.writeString(SettingsKey::style, stored);
        return FoldSettings::load(store).style;
    };
    const FoldStyle silk = styleOf("sIlK");
    const FoldStyle shade = styleOf("SHADE");
    const FoldStyle unknown = styleOf("plaid");
    report.check(silk == FoldStyle::vellum && shade == FoldStyle::dusk &&
                     unknown == FoldSettings().style,
                 "settings_style_names",
                 std::string("sIlK ") + std::string(rawValue(silk)) + ", SHADE " +
                     std::string(rawValue(shade)) + ", plaid " + std::string(rawValue(unknown)));
}

// Applies a parsed command to a default record; what changed, field by field.
std::string appliedChanges(std::string_view url, bool* stored = nullptr) {
    const auto command = URLCommand::parse(url);
    if (!command) {
        return "rejected";
    }
    const FoldSettings before;
    FoldSettings after = before;
    const bool result = after.apply(*command);
    if (stored) {
        *stored = result;
    }
    std::string changed;
    const auto note = [&](bool differs, const char* field) {
        if (differs) {
            changed += changed.empty() ? "" : " ";
            changed += field;
        }
    };
    note(after.style != before.style, "style");
    note(after.perspective != before.perspective, "perspective");
    note(after.blur != before.blur, "blur");
    note(after.shadow != before.shadow, "shadow");
    note(after.clearAngle != before.clearAngle, "clearAngle");
    note(after.coverMode != before.coverMode, "coverMode");
    note(after.paused != before.paused, "paused");
    note(after.previewAngle != before.previewAngle, "previewAngle");
    FoldSettings rest = after;
    rest.style = before.style;
    rest.perspective = before.perspective;
    rest.blur = before.blur;
    rest.shadow = before.shadow;
    rest.clearAngle = before.clearAngle;
    rest.coverMode = before.coverMode;
    rest.paused = before.paused;
    rest.previewAngle = before.previewAngle;
    note(!(rest == before), "other");
    return changed.empty() ? "nothing" : changed;
}

void applyScoped(Reporter& report) {
    bool previewStored = true;
    const std::string style = appliedChanges("orvane://set?style=ridge");
    const std::string pause = appliedChanges("orvane://pause");
    const std::string cover = appliedChanges("orvane://cover?mode=clock");
    const std::string set = appliedChanges("orvane://set?style=rime&perspective=0.6&clear=110");
    const std::string preview = appliedChanges("orvane://preview?angle=55", &previewStored);
    report.check(style == "style" && pause == "paused" && cover == "coverMode" &&
                     set == "style perspective clearAngle" && preview == "nothing" &&
                     !previewStored,
                 "settings_apply_changes_only_named",
                 "style: " + style + "; pause: " + pause + "; cover: " + cover + "; set: " + set +
                     "; preview: " + preview + (previewStored ? " (reported stored)" : ""));
}

// The command's case as a value, none when it parsed to another case or failed.
template <class T>
std::optional<T> as(const std::optional<URLCommand>& command) {
    if (command) {
        if (const T* found = std::get_if<T>(&command->value)) {
            return *found;
        }
    }
    return std::nullopt;
}

void urls(Reporter& report) {
    const bool pause = as<URLCommand::Pause>(URLCommand::parse("orvane://pause")).has_value();
    const bool resume =
        as<URLCommand::Resume>(URLCommand::parse("orvane://resume?x=1")).has_value();
    const bool shouted = as<URLCommand::Pause>(URLCommand::parse("ORVANE://PAUSE")).has_value();
    report.check(pause && resume && shouted, "url_pause_resume",
                 "pause, resume or ORVANE://PAUSE did not parse");

    const auto set =
        as<URLCommand::Set>(URLCommand::parse("orvane://set?style=rime&perspective=0.6&clear=110"));
    report.check(set && set->style == FoldStyle::rime && set->perspective == 0.6 &&
                     set->clearAngle == 110 && !set->blur && !set->shadow,
                 "url_set_fields",
                 set ? "perspective " + show(set->perspective) + ", clear " +
                           show(set->clearAngle) + ", blur " + show(set->blur)
                     : "rejected");

    const auto steep = as<URLCommand::Set>(URLCommand::parse("orvane://set?perspective=7"));
    const auto wide = as<URLCommand::Set>(URLCommand::parse("orvane://set?clear=300"));
    report.check(steep && steep->perspective == 1 && wide &&
                     wide->clearAngle == Tuning::maxClearAngle,
                 "url_set_clamps",
                 "perspective " + (steep ? show(steep->perspective) : "rejected") + ", clear " +
                     (wide ? show(wide->clearAngle) : "rejected"));

    const auto clock = as<URLCommand::Cover>(URLCommand::parse("orvane://cover?mode=clock"));
    const bool lid = URLCommand::parse("orvane://cover?mode=lid").has_value();
    report.check(clock && clock->mode == CoverMode::clock && !lid, "url_cover",
                 clock ? (lid ? "mode=lid was accepted" : "wrong mode") : "mode=clock rejected");

    const auto preview =
        as<URLCommand::Preview>(URLCommand::parse("orvane://preview?angle=55&seconds=8"));
    const auto far = as<URLCommand::Preview>(URLCommand::parse("orvane://preview?angle=999"));
    const bool bare = URLCommand::parse("orvane://preview").has_value();
    report.check(preview && preview->angle == 55 && preview->seconds == 8 && far &&
                     far->angle == Tuning::maxObservedAngle && !far->seconds && !bare,
                 "url_preview",
                 (preview ? "angle " + num(preview->angle) + " for " + show(preview->seconds)
                          : std::string("angle=55 rejected")) +
                     (far ? ", angle=999 gives " + num(far->angle) : ", angle=999 rejected") +
                     (bare ? ", no angle accepted" : ""));

    const bool nanAngle = URLCommand::parse("orvane://preview?angle=nan").has_value();
    const bool infAngle = URLCommand::parse("orvane://preview?angle=inf").has_value();
    const auto infSeconds =
        as<URLCommand::Preview>(URLCommand::parse("orvane://preview?angle=40&seconds=inf"));
    report.check(!nanAngle && !infAngle && infSeconds && !infSeconds->seconds,
                 "url_preview_non_finite",
                 std::string(nanAngle || infAngle ? "a non-finite angle was accepted" : "") +
                     (infSeconds ? ", seconds " + show(infSeconds->seconds)
                                 : ", a finite angle with seconds=inf was rejected"));

    std::string accepted;
    for (const std::string_view url : {"orvane://dance", "http://pause", "orvane:pause", "pause",
                                       "orvane://", "", "orvane://preview?angle=%2055"}) {
        if (URLCommand::parse(url)) {
            accepted += quoted(url) + " ";
        }
    }
    report.check(accepted.empty(), "url_rejects", "accepted " + accepted);

    const auto named = as<URLCommand::Set>(URLCommand::parse("orvane://set?Style=rime"));
    const auto first = as<URLCommand::Set>(URLCommand::parse("orvane://set?blur=0.2&blur=0.9"));
    report.check(named && !named->style && first && first->blur == 0.2, "url_query_rules",
                 std::string(named && named->style ? "Style= was read" : "") +
                     (first ? " first blur " + show(first->blur) : " repeated name rejected"));
}

// As the application takes a URL: parsed, and applied when it is a command.
bool open(EffectController& effect, std::string_view url) {
    const std::optional<URLCommand> command = URLCommand::parse(url);
    if (command) {
        effect.apply(*command);
    }
    return command.has_value();
}

void endToEnd(Reporter& report) {
    EffectRig rig(suite(".selftest.effect"));
    EffectController& effect = rig.controller();
    const FoldSettings before = effect.settings();
    const int commits = rig.store.commits;

    const bool setOpened = open(effect, "orvane://set?style=rime&perspective=0.6&clear=110");
    const FoldSettings stored = FoldSettings::load(rig.store);
    FoldSettings want = before;
    want.style = FoldStyle::rime;
    want.perspective = 0.6;
    want.clearAngle = 110;
    report.check(setOpened && effect.settings() == want && stored == want &&
                     rig.store.commits > commits,
                 "urlcmd_set_saved",
                 std::string(setOpened ? "" : "not opened; ") +
                     (effect.settings() == want ? "" : "live settings wrong; ") +
                     (stored == want ? "" : "stored settings wrong"));

    open(effect, "orvane://pause");
    const Availability paused = effect.availability();
    const bool pausedStored = FoldSettings::load(rig.store).paused;
    open(effect, "orvane://resume");
    const Availability resumed = effect.availability();
    report.check(paused == Availability::paused() && pausedStored &&
                     resumed != Availability::paused() && !FoldSettings::load(rig.store).paused,
                 "urlcmd_pause_resume",
                 "paused shows \"" + paused.presentation().menuLine + "\", resumed \"" +
                     resumed.presentation().menuLine + "\"");

    const FoldSettings beforePreview = FoldSettings::load(rig.store);
    const int previewCommits = rig.store.commits;
    constexpr double seconds = 2;
    open(effect, "orvane://preview?angle=55&seconds=2");
    const auto holding = effect.settings().previewAngle;
    // A preview from a URL runs for its own time and then ends by itself.
    rig.scheduler.advanceBy(seconds + Tuning::previewIdleCheckInterval);
    const auto after = effect.settings().previewAngle;
    report.check(holding == 55 && !after && rig.store.commits == previewCommits &&
                     FoldSettings::load(rig.store) == beforePreview,
                 "urlcmd_preview_not_stored",
                 "held " + show(holding) + ", after its time " + show(after) + ", " +
                     std::to_string(rig.store.commits - previewCommits) + " saves");

    const FoldSettings beforeInvalid = effect.settings();
    const bool opened = open(effect, "orvane://dance?style=dusk");
    report.check(!opened && effect.settings() == beforeInvalid, "urlcmd_invalid_ignored",
                 opened ? "an unknown command was applied" : "the settings changed");
}

} // namespace

void settingsChecks(Reporter& report) {
    const std::array<void (*)(Reporter&), 7> checks{roundTrip,   clamps, healing, legacyNames,
                                                    applyScoped, urls,   endToEnd};
    for (const auto check : checks) {
        report.guarded("settings_", [&] { check(report); });
    }
}

} // namespace orvane
