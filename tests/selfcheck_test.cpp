// SPDX-License-Identifier: MIT
// The self-check's pure groups, each as one case: the checks they hold are not
// repeated here, and a failing one shows its line in the test run, also under
// the sanitizers.
#include "selfcheck/SelfChecks.h"

#include <doctest/doctest.h>

#include <array>
#include <sstream>
#include <string>
#include <string_view>

using namespace orvane;

namespace {

constexpr std::array groups{
    "lid_report_", "lid_calibration_", "sensor_",       "foldmath_",  "gate_",
    "smooth_",     "capture_",         "availability_", "blocklist_", "click_",
    "veil_",       "accordion_",       "settings_",     "menu_"};

// The lines that are not passes: failures, skips and notes.
std::string notPassed(const std::string& report) {
    std::istringstream lines(report);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("PASS ")) {
            out += line + '\n';
        }
    }
    return out;
}

void runGroup(std::string_view prefix) {
    for (const SelfCheckGroup& group : pureSelfCheckGroups()) {
        if (group.name != prefix) {
            continue;
        }
        std::ostringstream out;
        Reporter report(out);
        report.guarded(group.name, [&] { group.run(report); });
        INFO(notPassed(out.str()));
        CHECK(report.failures == 0);
        CHECK(out.str().find("PASS ") != std::string::npos);
        return;
    }
    FAIL("no self-check group " << prefix);
}

} // namespace

#define SELF_CHECK_GROUP(prefix)                                                                   \
    TEST_CASE("self-check: every " prefix " check passes") {                                       \
        runGroup(prefix);                                                                          \
    }

SELF_CHECK_GROUP("lid_report_")
SELF_CHECK_GROUP("lid_calibration_")
SELF_CHECK_GROUP("sensor_")
SELF_CHECK_GROUP("foldmath_")
SELF_CHECK_GROUP("gate_")
SELF_CHECK_GROUP("smooth_")
SELF_CHECK_GROUP("capture_")
SELF_CHECK_GROUP("availability_")
SELF_CHECK_GROUP("blocklist_")
SELF_CHECK_GROUP("click_")
SELF_CHECK_GROUP("veil_")
SELF_CHECK_GROUP("accordion_")
SELF_CHECK_GROUP("settings_")
SELF_CHECK_GROUP("menu_")

TEST_CASE("self-check: every pure group has its case here") {
    const auto all = pureSelfCheckGroups();
    REQUIRE(all.size() == groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) {
        CHECK(all[i].name == groups[i]);
    }
}
