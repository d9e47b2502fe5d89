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

// The frost written out again from its description, to check the texture against.
struct ReferenceFrost {
    std::vector<float> grid;

    ReferenceFrost() {
        std::uint32_t x = 0x9E3779B9u;
        for (int i = 0; i < 160 * 90; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            grid.push_back(static_cast<float>(x % 10000u) / 10000.0f);
        }
    }

    double at(long long column, long long row) const {
        const long long c = ((column % 160) + 160) % 160;
        const long long r = ((row % 90) + 90) % 90;
        return grid[static_cast<std::size_t>(r * 160 + c)];
    }

    double noise(double u, double v, double scale) const {
        const double fx = u * 159 * scale;
        const double fy = v * 89 * scale;
        const double ix = std::floor(fx);
        const double iy = std::floor(fy);
        const auto smooth = [](double t) { return t * t * (3 - 2 * t); };
        const double sx = smooth(fx - ix);
        const double sy = smooth(fy - iy);
        const auto c = static_cast<long long>(ix);
        const auto r = static_cast<long long>(iy);
        return (1 - sy) * ((1 - sx) * at(c, r) + sx * at(c + 1, r)) +
               sy * ((1 - sx) * at(c, r + 1) + sx * at(c + 1, r + 1));
    }

    std::vector<std::uint8_t> pixels(double level) const {
        std::vector<std::uint8_t> out;
        for (int y = 0; y < 246; ++y) {
            for (int x = 0; x < 378; ++x) {
                const double u = x / 377.0;
                const double v = y / 245.0;
                const double n = 0.65 * noise(u, v, 0.25) + 0.35 * noise(u, v, 1.0);
                double t = (0.45 * v + 0.55 * n - (1 - level - 0.08)) / 0.16;
                t = std::min(1.0, std::max(0.0, t));
                const double c = level >= 1 ? 1.0 : t * t * (3 - 2 * t);
                const double a = c > 0 ? ((n - 0.5) * 0.08 + 0.22) * c : 0.0;
                for (const double tint : {240.0, 246.0, 250.0, 255.0}) {
                    out.push_back(static_cast<std::uint8_t>(std::round(a * tint)));
                }
            }
        }
        return out;
    }
};

std::size_t alphaCount(const std::vector<std::uint8_t>& pixels) {
    std::size_t count = 0;
    for (std::size_t i = 3; i < pixels.size(); i += 4) {
        count += pixels[i] > 0 ? 1 : 0;
    }
    return count;
}

// The panel as the controller sees it.
class FakeHost final : public CoverHost {
public:
    std::optional<CoverDressing> dressing;
    int dressings = 0;
    int frames = 0;
    int width() const override { return 1512; }
    int height() const override { return 982; }
    void setCoverDressing(std::optional<CoverDressing> next) override {
        dressing = std::move(next);
        ++dressings;
    }
    void requestOneFrame() override { ++frames; }
};

struct Rig {
    ManualScheduler scheduler;
    FakeHost host;
    bool hostPresent = true;
    CoverController controller{[this] { return hostPresent ? &host : nullptr; }, scheduler,
                               scheduler.clock()};

    double level() const { return host.dressing->model->veilLevel; }
};

} // namespace

TEST_CASE("the frost is empty at level 0 and at NaN, and covers everything at the full level") {
    CHECK(frostPixels(0).size() == 371952);
    CHECK(alphaCount(frostPixels(0)) == 0);
    CHECK(alphaCount(frostPixels(std::numeric_limits<double>::quiet_NaN())) == 0);
    CHECK(alphaCount(frostPixels(1.05)) == 378u * 246u);
}

TEST_CASE("the frost stays faint and premultiplied at every level") {
    for (const double level : {0.1, 0.3, 0.5, 0.7, 0.9, 1.0, 1.05}) {
        CAPTURE(level);
        const std::vector<std::uint8_t> pixels = frostPixels(level);
        bool faint = true;
        bool premultiplied = true;
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            faint = faint && pixels[i + 3] <= 77;
            for (std::size_t c = 0; c < 3; ++c) {
                premultiplied = premultiplied && pixels[i + c] <= pixels[i + 3];
            }
        }
        CHECK(faint);
        CHECK(premultiplied);
    }
}

TEST_CASE("the frost's bytes follow its noise and edge formulas") {
    const ReferenceFrost reference;
    for (const double level : {0.3, 0.5, 0.9}) {
        CAPTURE(level);
        const std::vector<std::uint8_t> expected = reference.pixels(level);
        CHECK(alphaCount(expected) > 0);
        CHECK(frostPixels(level) == expected);
    }
}

TEST_CASE("the frost grows from the bottom as the level rises") {
    const std::vector<std::uint8_t> low = frostPixels(0.3);
    const auto rowCovered = [&](int y) {
        std::size_t count = 0;
        for (int x = 0; x < 378; ++x) {
            count += low[static_cast<std::size_t>(y * 1512 + x * 4 + 3)] > 0 ? 1 : 0;
        }
        return count;
    };
    CHECK(rowCovered(245) > rowCovered(0));
    CHECK(alphaCount(frostPixels(0.9)) > alphaCount(low));
}

TEST_CASE("with reduce motion the veil shows at its full level at once") {
    Rig rig;
    rig.controller.coverAppeared(CoverMode::veil, true);
    REQUIRE(rig.host.dressing);
    CHECK(rig.host.dressing->mode == CoverMode::veil);
    CHECK(rig.level() == doctest::Approx(1.05));
    CHECK(rig.host.frames == 1);
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
        CHECK(rig.host.frames == 1 + step);
    }
    CHECK(rig.level() == doctest::Approx(1.05));
    CHECK(rig.scheduler.pending() == 1);
    rig.scheduler.advanceBy(0.5);
    CHECK(rig.host.frames == 16);

    // Entering again starts from nothing with a new model.
    const auto first = rig.host.dressing->model;
    rig.controller.coverAppeared(CoverMode::veil, false);
    CHECK(rig.host.dressing->model != first);
    CHECK(rig.level() == 0);
    rig.scheduler.advanceBy(1.0 / 30.0);
    CHECK(rig.level() == doctest::Approx(1.05 / 15));
    CHECK(rig.scheduler.pending() == 2);
}

TEST_CASE("the cover ending without a panel still stops both timers and drops the model") {
    Rig rig;
    rig.controller.coverAppeared(CoverMode::veil, false);
    rig.scheduler.advanceBy(2.0 / 30.0);
    rig.hostPresent = false;
    rig.controller.coverEnded();
    CHECK(rig.scheduler.pending() == 0);
    CHECK(rig.controller.model() == nullptr);
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
        const auto model = rig.host.dressing->model;
        CHECK(model->now == 12 * 3600 + 47.5);
        rig.scheduler.advanceTo(12 * 3600 + 59.9);
        CHECK(model->now == 12 * 3600 + 47.5);
        CHECK(rig.host.frames == 1);
        rig.scheduler.advanceTo(12 * 3600 + 60);
        CHECK(model->now == 12 * 3600 + 60);
        CHECK(rig.host.frames == 2);
        rig.scheduler.advanceTo(12 * 3600 + 119.9);
        CHECK(model->now == 12 * 3600 + 60);
        rig.scheduler.advanceTo(12 * 3600 + 120);
        CHECK(model->now == 12 * 3600 + 120);
        CHECK(rig.host.frames == 3);
    }
}
