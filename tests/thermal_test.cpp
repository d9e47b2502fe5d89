// SPDX-License-Identifier: MIT
// The heat from thermal zones on fake sysfs trees, and the system log's fallback.
#include "platform/JournalLog.h"
#include "platform/ThermalMonitor.h"
#include "support/Doubles.h"
#include "support/TempDir.h"
#include "system/ThermalZones.h"

#include <doctest/doctest.h>

#include <fstream>
#include <map>
#include <unistd.h>

using namespace orvane;
using orvane::test::HeardEvents;
using orvane::test::TempDir;

namespace {

void zone(const TempDir& root, int index, const std::map<std::string, std::string>& files) {
    const auto folder = root.path() / "class/thermal" / ("thermal_zone" + std::to_string(index));
    std::filesystem::create_directories(folder);
    for (const auto& [name, text] : files) {
        std::ofstream(folder / name, std::ios::trunc) << text;
    }
}

} // namespace

TEST_CASE("thermal zones are hot at a passive trip and critical at a hot or critical one") {
    TempDir root;
    HeardEvents heat;
    ThermalMonitor monitor(root.path(), heat);
    monitor.start();
    CHECK(monitor.state() == ThermalState::nominal); // no zones at all

    zone(root, 0, {{"temp", "45000\n"}}); // no trip points
    zone(root, 1,
         {{"temp", "71000\n"},
          {"trip_point_0_temp", "70000\n"},
          {"trip_point_0_type", "active\n"},
          {"trip_point_1_temp", "90000\n"},
          {"trip_point_1_type", "passive\n"},
          {"trip_point_2_temp", "105000\n"},
          {"trip_point_2_type", "critical\n"}});
    monitor.poll();
    CHECK(monitor.state() == ThermalState::nominal); // an active (fan) trip is no heat
    CHECK(heat.count("thermal") == 0);

    zone(root, 1, {{"temp", "92000\n"}});
    monitor.poll();
    CHECK(monitor.state() == ThermalState::serious);
    zone(root, 1, {{"temp", "105000\n"}});
    monitor.poll();
    CHECK(monitor.state() == ThermalState::critical);
    CHECK(heat.count("thermal") == 2);

    SUBCASE("a zone that cannot be read says nothing") {
        zone(root, 1, {{"temp", "unavailable\n"}});
        monitor.poll();
        CHECK(monitor.state() == ThermalState::nominal);
        CHECK(heat.count("thermal") == 3);
        CHECK(ThermalMonitor::readZones(root.path()).size() == 1);
    }
    SUBCASE("a hot trip is critical too, and unset trips never fire") {
        CHECK(ThermalZones::classify({{50000, {{0, "critical"}, {40000, "hot"}}}}) ==
              ThermalState::critical);
        CHECK(ThermalZones::classify({{50000, {{-273000, "critical"}}}}) == ThermalState::nominal);
    }
}

TEST_CASE("without a journal the system log writes one line to standard error") {
    TempDir root;
    JournalLog log(root.path() / "no-socket");
    std::FILE* const captured = std::tmpfile();
    REQUIRE(captured);
    const int saved = dup(fileno(stderr));
    std::fflush(stderr);
    dup2(fileno(captured), fileno(stderr));
    log.note("capture", "capture start failed: Screen Recording permission is not granted.");
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::rewind(captured);
    char line[256] = {};
    REQUIRE(std::fgets(line, sizeof line, captured));
    std::fclose(captured);
    CHECK(std::string(line) == "Orvane [capture] capture start failed: Screen Recording "
                               "permission is not granted.\n");
}
