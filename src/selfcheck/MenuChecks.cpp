// SPDX-License-Identifier: MIT
// The status menu's texts as the status item model produces them, and the
// About panel's credits.
#include "app/StatusItemModel.h"
#include "core/AppIdentity.h"
#include "core/Availability.h"
#include "core/Tuning.h"
#include "selfcheck/ComponentChecks.h"
#include "selfcheck/Quoted.h"
#include "settings/FoldSettings.h"

#include <set>
#include <string>
#include <vector>

namespace orvane {

namespace {

void statusLines(Reporter& report) {
    StatusItemModel fresh;
    report.check(fresh.presentation() == Availability::ready().presentation(), "menu_starts_ready",
                 "first status line \"" + fresh.presentation().menuLine + "\"");

    // Through every state and back: the line follows, and the icon is
    // redrawn only when its variant changes.
    const std::vector<Availability> states{Availability::paused(),
                                           Availability::asleep(),
                                           Availability::lowPower(),
                                           Availability::thermal(),
                                           Availability::blockedApp("Slides"),
                                           Availability::unsupportedSession(),
                                           Availability::noDisplay(),
                                           Availability::noPermission(),
                                           Availability::captureFailed(),
                                           Availability::noSensor(false),
                                           Availability::noSensor(true),
                                           Availability::effectUnavailable(),
                                           Availability::ready()};
    StatusItemModel model;
    std::string wrong;
    std::set<std::string> lines;
    for (const Availability& a : states) {
        const IconVariant before = model.presentation().icon;
        const bool redraw = model.apply(a);
        const StatusPresentation& shown = model.presentation();
        lines.insert(shown.menuLine);
        if (shown.menuLine != a.presentation().menuLine || redraw != (shown.icon != before) ||
            shown.menuLine.empty()) {
            wrong += quoted(shown.menuLine) + " ";
        }
    }
    report.check(wrong.empty() && lines.size() == states.size(), "menu_status_line_follows",
                 wrong.empty() ? std::to_string(lines.size()) + " distinct lines for " +
                                     std::to_string(states.size()) + " states"
                               : "wrong for " + wrong);

    StatusItemModel blocked;
    blocked.apply(Availability::blockedApp("Slides"));
    report.check(blocked.presentation().menuLine == "Paused while Slides is in front",
                 "menu_blocked_app_line", quoted(blocked.presentation().menuLine));
}

void pauseTitle(Reporter& report) {
    StatusItemModel model;
    FoldSettings settings;
    const std::string running(model.pauseTitle());
    settings.setPaused(true);
    model.apply(settings);
    const std::string paused(model.pauseTitle());
    report.check(running == StatusMenuText::pause && paused == StatusMenuText::resume &&
                     running != paused,
                 "menu_pause_title", "running \"" + running + "\", paused \"" + paused + "\"");
}

void angleText(Reporter& report) {
    StatusItemModel model;
    FoldSettings settings;
    constexpr double shownAngle = 87.6;
    model.applyLidSample(shownAngle, 0); // the first reading shows at once
    const std::string hidden = model.angleText();
    settings.setShowAngleInMenuBar(true);
    const bool redraw = model.apply(settings);
    const std::string shown = model.angleText();
    report.check(hidden.empty() && redraw && shown == "87°", "menu_angle_text_on_demand",
                 "hidden \"" + hidden + "\", shown \"" + shown + "\"");

    // A brisk move of less than the redraw step, and a slow lid however far,
    // never move the shown angle; a brisk move past the step does.
    const double brisk = 2 * Tuning::armVelocity;
    model.applyLidSample(shownAngle - Tuning::iconRedrawMinDelta / 2, -brisk);
    const std::string afterSmall = model.angleText();
    double angle = shownAngle;
    for (int i = 0; i < 200; ++i) {
        angle -= 0.2;
        model.applyLidSample(angle, -Tuning::armVelocity / 2);
    }
    const std::string afterSlow = model.angleText();
    model.applyLidSample(angle, -brisk);
    const std::string afterBrisk = model.angleText();
    report.check(afterSmall == shown && afterSlow == shown && afterBrisk != shown,
                 "menu_angle_moves_only_briskly",
                 "after a small brisk move " + quoted(afterSmall) + ", a slow close " +
                     quoted(afterSlow) + ", a brisk one " + quoted(afterBrisk));

    const double kept = model.displayedAngle();
    model.applyLidSample(std::nullopt, 0);
    const std::string closed = model.angleText();
    report.check(closed == "–" && model.displayedAngle() == kept, "menu_sensor_closed_dash",
                 quoted(closed) + " without a reading");
}

void credits(Reporter& report) {
    std::set<std::string_view> distinct;
    std::string wrong;
    for (const std::string_view line : AppIdentity::credits) {
        distinct.insert(line);
        if (line.empty() || !line.ends_with('.')) {
            wrong += quoted(line) + " ";
        }
    }
    report.check(wrong.empty() && distinct.size() == AppIdentity::credits.size() &&
                     AppIdentity::credits.size() == 4,
                 "about_credits_four_sentences",
                 std::to_string(distinct.size()) + " distinct lines" +
                     (wrong.empty() ? "" : "; not sentences: " + wrong));
    const auto mentions = [](std::size_t line, std::string_view words) {
        return AppIdentity::credits.at(line).find(words) != std::string_view::npos;
    };
    report.check(mentions(0, "lid") && mentions(1, "undocumented") &&
                     mentions(2, "never saved or sent") && mentions(3, AppIdentity::name),
                 "about_credits_promises",
                 "the lines do not say, in order, what Orvane does, the sensor's caveat, "
                 "the frames' privacy and who made it");
}

} // namespace

void menuChecks(Reporter& report) {
    report.guarded("menu_", [&] { statusLines(report); });
    report.guarded("menu_", [&] { pauseTitle(report); });
    report.guarded("menu_", [&] { angleText(report); });
    report.guarded("about_credits_", [&] { credits(report); });
}

} // namespace orvane
