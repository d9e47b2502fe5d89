// SPDX-License-Identifier: MIT
// The poller's open, failure and reopen rules on a scripted reader and clock,
// its main-thread face, and the order in which lid sources are tried.
#include "core/Tuning.h"
#include "sensor/LidSensorService.h"
#include "sensor/LidSourceChain.h"
#include "sensor/SensorPoller.h"

#include <doctest/doctest.h>

#include <deque>
#include <string>
#include <vector>

using namespace orvane;

namespace {

// A reader that answers from a script and logs what it was asked.
struct ScriptedReader {
    std::deque<bool> opens; // answers to open, then `opensAfter`
    bool opensAfter = true;
    std::deque<std::optional<double>> angles; // answers to reads, then `readsAfter`
    std::optional<double> readsAfter = 90.0;
    std::vector<std::string> calls;

    SensorPoller::Reader reader() {
        return {[this] {
                    calls.push_back("open");
                    return take(opens, opensAfter);
                },
                [this] { calls.push_back("close"); },
                [this] {
                    calls.push_back("read");
                    return take(angles, readsAfter);
                }};
    }
    template <class T>
    static T take(std::deque<T>& script, T after) {
        if (script.empty()) {
            return after;
        }
        T value = script.front();
        script.pop_front();
        return value;
    }
    int count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }
};

struct CountingTimer final : SensorPoller::Timer {
    std::vector<std::pair<std::int64_t, std::int64_t>> schedules;
    void schedule(std::int64_t interval, std::int64_t leeway) override {
        schedules.emplace_back(interval, leeway);
    }
};

struct Rig {
    ScriptedReader script;
    CountingTimer timer;
    double now = 100;
    std::vector<std::string> events; // "open", "closed" and sample angles, in order
    SensorPoller poller{script.reader(), timer, [this] { return now; }};

    void start() {
        poller.start([this](bool open) { events.push_back(open ? "open" : "closed"); },
                     [this](const LidSample& s) {
                         CHECK(s.time == now);
                         events.push_back(std::to_string(static_cast<int>(s.angle)));
                     });
    }
    // Polls at the current rate for `seconds`.
    void run(double seconds) {
        const double step = static_cast<double>(intervalNanoseconds(poller.rate())) * 1e-9;
        for (double end = now + seconds; now + step <= end + 1e-9;) {
            now += step;
            poller.poll();
        }
    }
};

} // namespace

TEST_CASE("a sensor that never opens reports closed once and retries every 5 s") {
    Rig rig;
    rig.script.opensAfter = false;
    rig.start();
    CHECK(rig.events == std::vector<std::string>{"closed"});
    rig.run(4.9);
    CHECK(rig.script.count("open") == 1);
    rig.run(0.2);
    CHECK(rig.script.count("open") == 2);
    rig.run(4.8);
    CHECK(rig.script.count("open") == 2);
    rig.run(0.3);
    CHECK(rig.script.count("open") == 3);
    CHECK(rig.script.count("read") == 0);
    CHECK(rig.events == std::vector<std::string>{"closed"});
    // A failed attempt closes what it may have half opened.
    CHECK(rig.script.count("close") == 2);
}

TEST_CASE("the timer follows the rate and is rebuilt only when it changes") {
    Rig rig;
    rig.poller.setRate(SensorRate::active); // before start: remembered, nothing scheduled
    CHECK(rig.timer.schedules.empty());
    rig.start();
    REQUIRE(rig.timer.schedules.size() == 1);
    CHECK(rig.timer.schedules[0] == std::pair<std::int64_t, std::int64_t>{8'333'333, 1'000'000});
    rig.poller.setRate(SensorRate::active);
    CHECK(rig.timer.schedules.size() == 1);
    rig.poller.setRate(SensorRate::idle);
    rig.poller.setRate(SensorRate::fastIdle);
    CHECK(rig.timer.schedules ==
          std::vector<std::pair<std::int64_t, std::int64_t>>{
              {8'333'333, 1'000'000}, {100'000'000, 20'000'000}, {33'333'333, 20'000'000}});
}

TEST_CASE("a reopen closes, opens again and reports either way") {
    Rig rig;
    rig.start();
    rig.script.opens = {false};
    rig.poller.reopen();
    CHECK(rig.events == std::vector<std::string>{"open", "closed"});
    rig.run(Tuning::sensorReopenInterval + 0.1);
    CHECK(rig.events.back() == "90");
    CHECK(rig.events[2] == "open");
    rig.script.calls.clear();
    rig.poller.reopen();
    CHECK(rig.script.calls == std::vector<std::string>{"close", "open"});
    CHECK(rig.events.back() == "open");
}

TEST_CASE("the service hands samples and open changes to the main thread in order") {
    ScriptedReader script;
    CountingTimer timer;
    double now = 0;
    SensorPoller poller(script.reader(), timer, [&now] { return now; });
    std::vector<std::function<void()>> mainThread;
    int posts = 0;
    LidSensorService service(
        [&poller, &posts](auto work) {
            ++posts;
            work(poller);
        },
        [&mainThread](auto work) { mainThread.push_back(std::move(work)); });
    std::vector<std::string> seen;
    service.onSample = [&seen](const LidSample& s) { seen.push_back(std::to_string(s.angle)); };
    service.onAvailabilityChange = [&seen](bool open) { seen.push_back(open ? "open" : "closed"); };

    script.angles = {10.0, std::nullopt};
    service.start();
    poller.poll();
    service.setRate(SensorRate::active);
    CHECK(poller.rate() == SensorRate::active);
    // The rate is stated at every step; only a change wakes the sensor's thread.
    const int postsBefore = posts;
    service.setRate(SensorRate::active);
    CHECK(posts == postsBefore);
    CHECK(seen.empty()); // nothing runs on the sensor's thread
    for (auto& work : mainThread) {
        work();
    }
    CHECK(seen == std::vector<std::string>{"open", std::to_string(10.0)});
    CHECK(service.isAvailable());

    SUBCASE("only a change of the open state is announced") {
        mainThread.clear();
        service.reopen();
        script.opens = {false};
        service.reopen();
        service.reopen();
        for (auto& work : mainThread) {
            work();
        }
        CHECK(seen == std::vector<std::string>{"open", std::to_string(10.0), "closed", "open"});
    }
}

TEST_CASE("lid sources are tried in order and the first that opens answers") {
    struct Source final : LidSource {
        std::string label;
        bool opens;
        std::vector<std::string>* log;
        Source(std::string l, bool o, std::vector<std::string>* g) : label(l), opens(o), log(g) {}
        std::string_view name() const override { return label; }
        bool open() override {
            log->push_back("open " + label);
            return opens;
        }
        void close() override { log->push_back("close " + label); }
        std::optional<LidReading> read() override { return LidReading{label, 33.0, false}; }
    };
    std::vector<std::string> log;
    std::vector<std::unique_ptr<LidSource>> sources;
    sources.push_back(std::make_unique<Source>("hidraw", false, &log));
    sources.push_back(std::make_unique<Source>("iio-lid", true, &log));
    sources.push_back(std::make_unique<Source>("iio-hinge", true, &log));
    LidSourceChain chain(std::move(sources));
    CHECK(chain.name() == "none");
    CHECK_FALSE(chain.read());

    SensorPoller::Reader reader = chain.reader();
    REQUIRE(reader.open());
    CHECK(chain.name() == "iio-lid");
    CHECK(reader.readAngle() == 33.0);
    CHECK(log == std::vector<std::string>{"open hidraw", "open iio-lid"});
    reader.close();
    CHECK(chain.name() == "none");
    CHECK(log.back() == "close iio-lid");
}
