// SPDX-License-Identifier: MIT
// The IIO lid sources on fake sysfs trees, and the sensor's thread in real time.
#include "platform/MonotonicClock.h"
#include "sensor/linux/IioLidSources.h"
#include "sensor/linux/SensorThread.h"
#include "support/TempDir.h"

#include <doctest/doctest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

using namespace orvane;
using orvane::test::TempDir;

namespace {

// A sysfs tree with IIO devices made of the given files.
struct FakeSysfs {
    TempDir root;
    std::filesystem::path device(int index, const std::map<std::string, std::string>& files) {
        const auto folder =
            root.path() / "bus/iio/devices" / ("iio:device" + std::to_string(index));
        std::filesystem::create_directories(folder);
        for (const auto& [name, text] : files) {
            std::ofstream(folder / name) << text;
        }
        return folder;
    }
    static void write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file, std::ios::trunc) << text;
    }
};

// An accelerometer reading `up` (m/s^2) in its part's frame, stored raw with
// a scale and offset, through a mount matrix that swaps x and y.
std::map<std::string, std::string> accelerometer(const std::string& label, double x, double y,
                                                 double z) {
    const double scale = 0.01;
    const double offset = 5;
    const auto raw = [&](double v) { return std::to_string(std::lround(v / scale - offset)); };
    return {{"name", "accel"},
            {"label", label},
            {"in_accel_x_raw", raw(y) + "\n"},
            {"in_accel_y_raw", raw(x) + "\n"},
            {"in_accel_z_raw", raw(z) + "\n"},
            {"in_accel_scale", "0.010000\n"},
            {"in_accel_offset", "5\n"},
            {"in_accel_mount_matrix", "0, 1, 0; 1, 0, 0; 0, 0, 1\n"}};
}

} // namespace

TEST_CASE("the ChromeOS lid angle reads whole degrees, and nothing for 'cannot tell'") {
    FakeSysfs sysfs;
    sysfs.device(0, {{"name", "cros-ec-accel\n"}});
    const auto folder =
        sysfs.device(1, {{"name", "cros-ec-lid-angle\n"}, {"in_angl_raw", "112\n"}});
    CrosEcLidAngle source(sysfs.root.path());
    REQUIRE(source.open());
    CHECK(source.read() == LidReading{"112", 112.0, false});
    FakeSysfs::write(folder / "in_angl_raw", "500\n");
    const auto unreliable = source.read();
    REQUIRE(unreliable);
    CHECK_FALSE(unreliable->angle);
    FakeSysfs::write(folder / "in_angl_raw", "ninety\n");
    CHECK_FALSE(source.read());
    std::filesystem::remove_all(folder); // the device goes between reads
    CHECK_FALSE(source.read());
    CHECK_FALSE(source.open());
}

TEST_CASE("the Intel hinge reads its labelled channel with offset and scale") {
    FakeSysfs sysfs;
    const auto folder = sysfs.device(0, {{"name", "hinge"},
                                         {"in_angl0_label", "screen"},
                                         {"in_angl1_label", "hinge"},
                                         {"in_angl0_raw", "10"},
                                         {"in_angl1_raw", "1500"},
                                         {"in_angl_scale", "0.001"},
                                         {"in_angl_offset", "70.796"}});
    IntelHinge source(sysfs.root.path());
    REQUIRE(source.open());
    const auto reading = source.read();
    REQUIRE(reading);
    CHECK(reading->raw == "1500");
    CHECK(*reading->angle == doctest::Approx(90.0).epsilon(1e-4));
    std::filesystem::remove(folder / "in_angl_scale");
    CHECK_FALSE(source.read());
}

TEST_CASE("an accelerometer pair gives the hinge angle through scale, offset and mount matrix") {
    FakeSysfs sysfs;
    const double g = 9.80665;
    // Open at 120 degrees on a level desk: up is +z in the base.
    const double a = 120 * M_PI / 180;
    sysfs.device(0, {{"name", "other"}});
    sysfs.device(1, accelerometer("accel-display", 0, std::sin(a) * g, -std::cos(a) * g));
    const auto base = sysfs.device(2, accelerometer("accel-base", 0, 0, g));
    AccelPair source(sysfs.root.path());
    REQUIRE(source.open());
    const auto reading = source.read();
    REQUIRE(reading);
    CHECK(*reading->angle == doctest::Approx(120.0).epsilon(0.01));

    SUBCASE("older kernels name the parts by location") {
        FakeSysfs older;
        auto display = accelerometer("", 0, std::sin(a) * g, -std::cos(a) * g);
        display.erase("label");
        display["location"] = "lid\n";
        auto level = accelerometer("", 0, 0, g);
        level.erase("label");
        level["location"] = "base\n";
        older.device(0, display);
        older.device(1, level);
        AccelPair pair(older.root.path());
        REQUIRE(pair.open());
        CHECK(*pair.read()->angle == doctest::Approx(120.0).epsilon(0.01));
    }
    SUBCASE("a missing axis fails the read, and a lone accelerometer never opens") {
        std::filesystem::remove(base / "in_accel_z_raw");
        CHECK_FALSE(source.read());
        CHECK_FALSE(source.open());
    }
}

TEST_CASE("the sensor's thread polls at its rate, changes rate, and stops without hanging") {
    std::atomic<int> reads = 0;
    std::mutex mutex;
    std::vector<double> times;
    {
        SensorThread thread({[] { return true; }, [] {},
                             [&reads]() -> std::optional<double> {
                                 ++reads;
                                 return 80.0;
                             }},
                            monotonicSeconds);
        thread.post([&](SensorPoller& poller) {
            poller.start([](bool) {},
                         [&](const LidSample& sample) {
                             const std::lock_guard lock(mutex);
                             times.push_back(sample.time);
                         });
            poller.setRate(SensorRate::active);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        thread.post([](SensorPoller& poller) { poller.setRate(SensorRate::idle); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const std::lock_guard lock(mutex);
    // About 36 samples at 120 Hz, then about 3 at 10 Hz; generous bounds for a busy machine.
    CHECK(times.size() >= 15);
    CHECK(times.size() <= 45);
    CHECK(reads == static_cast<int>(times.size()));
    CHECK(std::is_sorted(times.begin(), times.end()));
}
