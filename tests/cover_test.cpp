// SPDX-License-Identifier: MIT
// The cover's pure parts: the veil's frost texture, and the controller that
// grows the veil and moves the clocks on, on a clock the test moves.
#include "cover/CoverController.h"
#include "cover/VeilFrost.h"
#include "support/Doubles.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

std::size_t alphaCount(const std::vector<std::uint8_t>& pixels) {
    std::size_t count = 0;
    for (std::size_t i = 3; i < pixels.size(); i += 4) {
        count += pixels[i] > 0 ? 1 : 0;
    }
    return count;
}

// The display as the controller sees it: each dressing sent is one frame drawn.
class FakeHost final : public CoverHost {
public:
    std::optional<CoverDressing> dressing;
    int dressings = 0;
    int width() const override { return 1512; }
    int height() const override { return 982; }
    void setCoverDressing(std::optional<CoverDressing> next) override {
        dressing = next;
        ++dressings;
    }
};

struct Rig {
    ManualScheduler scheduler;
    FakeHost host;
    bool hostPresent = true;
    CoverController controller{[this] { return hostPresent ? &host : nullptr; }, scheduler,
                               scheduler.clock()};

    double level() const { return host.dressing->veilLevel; }
};

} // namespace

TEST_CASE("the frost is empty at level 0 and at NaN, and covers everything at the full level") {
    CHECK(frostPixels(0).size() == 371952);
    CHECK(alphaCount(frostPixels(0)) == 0);
    CHECK(alphaCount(frostPixels(std::numeric_limits<double>::quiet_NaN())) == 0);
    CHECK(alphaCount(frostPixels(1.05)) == 378u * 246u);
}

TEST_CASE("with reduce motion the veil shows at its full level at once") {
    Rig rig;
    rig.controller.coverAppeared(CoverMode::veil, true);
    REQUIRE(rig.host.dressing);
    CHECK(rig.host.dressing->mode == CoverMode::veil);
    CHECK(rig.level() == doctest::Approx(1.05));
    CHECK(rig.host.dressings == 1);
    CHECK(rig.scheduler.pending() == 1); // the minute only
}

TEST_CASE("the veil grows in 15 steps of 1/30 s and its timer then stops") {
    Rig rig;
    rig.scheduler.now = 1000.5;
    rig.controller.coverAppeared(CoverMode::veil, false);
    REQUIRE(rig.host.dressing);
    CHECK(rig.level() == 0);
    CHECK(rig.scheduler.pending() == 2);
    for (int step = 1; step <= 15; ++step) {
        rig.scheduler.advanceBy(1.0 / 30.0);
        CAPTURE(step);
        CHECK(rig.level() == doctest::Approx(std::min(step * 1.05 / 15, 1.05)));
        CHECK(rig.host.dressings == 1 + step);
    }
    CHECK(rig.level() == doctest::Approx(1.05));
    CHECK(rig.scheduler.pending() == 1);
    rig.scheduler.advanceBy(0.5);
    CHECK(rig.host.dressings == 16);

    // Entering again starts from nothing.
    rig.controller.coverAppeared(CoverMode::veil, false);
    CHECK(rig.level() == 0);
    rig.scheduler.advanceBy(1.0 / 30.0);
    CHECK(rig.level() == doctest::Approx(1.05 / 15));
    CHECK(rig.scheduler.pending() == 2);
}

TEST_CASE("the cover ending without a panel still stops both timers and drops the dressing") {
    Rig rig;
    rig.controller.coverAppeared(CoverMode::veil, false);
    rig.scheduler.advanceBy(2.0 / 30.0);
    rig.hostPresent = false;
    rig.controller.coverEnded();
    CHECK(rig.scheduler.pending() == 0);
    CHECK_FALSE(rig.controller.dressing());
    const int dressings = rig.host.dressings;
    rig.scheduler.advanceBy(120);
    CHECK(rig.host.dressings == dressings);

    rig.hostPresent = true;
    rig.controller.coverAppeared(CoverMode::clock, false);
    rig.controller.coverEnded();
    CHECK_FALSE(rig.host.dressing);
    CHECK(rig.scheduler.pending() == 0);
}

TEST_CASE("a destroyed controller leaves no timer behind") {
    ManualScheduler scheduler;
    FakeHost host;
    {
        CoverController controller{[&] { return &host; }, scheduler, scheduler.clock()};
        controller.coverAppeared(CoverMode::veil, false);
    }
    CHECK(scheduler.pending() == 0);
}

TEST_CASE("the clock's time moves on exactly at each full minute") {
    for (const CoverMode mode : {CoverMode::clock, CoverMode::off}) {
        Rig rig;
        rig.scheduler.now = 12 * 3600 + 47.5; // 12:00:47.5
        rig.controller.coverAppeared(mode, false);
        REQUIRE(rig.host.dressing);
        const auto now = [&] { return rig.host.dressing->now; };
        CHECK(now() == 12 * 3600 + 47.5);
        rig.scheduler.advanceTo(12 * 3600 + 59.9);
        CHECK(now() == 12 * 3600 + 47.5);
        CHECK(rig.host.dressings == 1);
        rig.scheduler.advanceTo(12 * 3600 + 60);
        CHECK(now() == 12 * 3600 + 60);
        CHECK(rig.host.dressings == 2);
        rig.scheduler.advanceTo(12 * 3600 + 119.9);
        CHECK(now() == 12 * 3600 + 60);
        rig.scheduler.advanceTo(12 * 3600 + 120);
        CHECK(now() == 12 * 3600 + 120);
        CHECK(rig.host.dressings == 3);
    }
}
