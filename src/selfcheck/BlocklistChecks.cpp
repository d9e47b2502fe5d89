// SPDX-License-Identifier: MIT
// The app blocklist's cleaning, matching and names, a blocked app as the
// status shows it, and the manual preview's auto-off without the settings window.
#include "core/AppIdentity.h"
#include "core/Tuning.h"
#include "doubles/EffectRig.h"
#include "effect/PreviewAutoOff.h"
#include "selfcheck/ComponentChecks.h"
#include "selfcheck/Quoted.h"
#include "settings/Blocklist.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

namespace {

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& entry : list) {
        out += out.empty() ? "\"" : ", \"";
        out += entry;
        out += '"';
    }
    return "[" + out + "]";
}

std::string flippedCase(std::string text) {
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        c = static_cast<char>(std::isupper(u) ? std::tolower(u) : std::toupper(u));
    }
    return text;
}

void matching(Reporter& report) {
    const std::vector<std::string>& list = Blocklist::defaultBundleIDs();
    if (list.empty()) {
        return report.fail("blocklist_exact_match", "the default list is empty");
    }
    const std::string listed = list.front();
    report.check(Blocklist::contains(list, listed), "blocklist_exact_match",
                 quoted(listed) + " does not match the default list");
    report.check(Blocklist::contains(list, flippedCase(listed)), "blocklist_ignores_case",
                 quoted(flippedCase(listed)) + " does not match");
    report.check(!Blocklist::contains(list, std::nullopt) && !Blocklist::contains(list, "") &&
                     !Blocklist::contains({""}, ""),
                 "blocklist_absent_or_empty_never_matches", "an empty identifier matched");
    const std::vector<std::string> near{listed.substr(0, listed.size() - 1), listed + ".helper",
                                        std::string("x.").append(listed)};
    const auto partial = std::find_if(near.begin(), near.end(), [&](const std::string& id) {
        return Blocklist::contains(list, id);
    });
    report.check(partial == near.end(), "blocklist_whole_identifier_only",
                 partial == near.end() ? "" : quoted(*partial) + " matched");
    report.check(!Blocklist::contains({}, listed), "blocklist_empty_list_never_matches",
                 "the empty list matched \"" + listed + "\"");
}

void normalizing(Reporter& report) {
    const std::vector<std::string> got =
        Blocklist::normalized({" US.Zoom.Zoom ", "us.zoom.zoom", "", "a.b"});
    const std::vector<std::string> want{"US.Zoom.Zoom", "a.b"};
    report.check(got == want, "blocklist_normalized", joined(got) + ", want " + joined(want));
}

void names(Reporter& report) {
    std::string wrong;
    for (const std::string& id : Blocklist::defaultBundleIDs()) {
        if (!Blocklist::defaultDisplayNames().contains(id)) {
            wrong += id + " ";
        }
    }
    for (const auto& [id, name] : Blocklist::defaultDisplayNames()) {
        if (Blocklist::displayName(id, std::nullopt) != name) {
            wrong += id + " ";
        }
    }
    report.check(wrong.empty(), "blocklist_built_in_names", "wrong names for " + wrong);
    const std::string id = Blocklist::defaultBundleIDs().front();
    const std::string installed = Blocklist::displayName(id, "Impress 7");
    const std::string unnamed = Blocklist::displayName(id, std::string());
    report.check(installed == "Impress 7" && unnamed == Blocklist::displayName(id, std::nullopt),
                 "blocklist_installed_name_wins",
                 "installed \"" + installed + "\", empty installed name \"" + unnamed + "\"");
    const std::string unknown = "org.example.NoSuchApp";
    const std::string fallback = Blocklist::displayName(unknown, std::nullopt);
    report.check(fallback == unknown, "blocklist_unknown_shows_identifier", quoted(fallback));
}

void unnamedAppInStatus(Reporter& report) {
    // The effect's throwaway suite, named after the application.
    EffectRig rig(std::string(AppIdentity::identifier) + ".selftest.effect");
    const std::string id = rig.controller().settings().blocklist.front();
    rig.system.front = SystemFacts::FrontmostApp{id, std::nullopt};
    rig.controller().frontmostAppChanged();
    const Availability unnamed = rig.controller().availability();
    rig.system.front = SystemFacts::FrontmostApp{"org.example.Editor", "Editor"};
    rig.controller().frontmostAppChanged();
    const Availability cleared = rig.controller().availability();
    report.check(unnamed == Availability::blockedApp(id) &&
                     unnamed.presentation().menuLine.find(id) != std::string::npos &&
                     cleared.kind() != Availability::Kind::blockedApp,
                 "blocklist_unnamed_app_status",
                 "menu line \"" + unnamed.presentation().menuLine + "\", then \"" +
                     cleared.presentation().menuLine + "\"");
}

void previewAutoOff(Reporter& report) {
    const double timeout = Tuning::previewIdleTimeout;
    if (PreviewAutoOff::shouldEnd(0, timeout - 0.1) || !PreviewAutoOff::shouldEnd(0, timeout) ||
        !PreviewAutoOff::shouldEnd(0, 10 * timeout)) {
        return report.fail("preview_autooff_without_card",
                           "the idle bound is not inclusive at the timeout");
    }
    // Only the effect controller runs: no settings window, no preview card.
    EffectRig rig(std::string(AppIdentity::identifier) + ".selftest");
    EffectController& effect = rig.controller();
    constexpr double previewAngle = 70;
    effect.setPreview(previewAngle);
    rig.scheduler.advanceBy(timeout - 1);
    const bool heldBeforeTouch = effect.settings().previewAngle.has_value();
    effect.previewInteraction(); // a touch just before the deadline
    rig.scheduler.advanceBy(timeout - 1);
    const bool heldAfterTouch = effect.settings().previewAngle.has_value();
    rig.scheduler.advanceBy(2 + Tuning::previewIdleCheckInterval);
    const bool ended = !effect.settings().previewAngle.has_value();
    report.check(heldBeforeTouch && heldAfterTouch && ended, "preview_autooff_without_card",
                 std::string("held before the touch ") + (heldBeforeTouch ? "yes" : "no") +
                     ", after it " + (heldAfterTouch ? "yes" : "no") + ", ended when idle " +
                     (ended ? "yes" : "no"));
}

} // namespace

void blocklistChecks(Reporter& report) {
    report.guarded("blocklist_", [&] { matching(report); });
    report.guarded("blocklist_", [&] { normalizing(report); });
    report.guarded("blocklist_", [&] { names(report); });
    report.guarded("blocklist_", [&] { unnamedAppInStatus(report); });
    report.guarded("preview_autooff_without_card", [&] { previewAutoOff(report); });
}

} // namespace orvane
