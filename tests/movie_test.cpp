// SPDX-License-Identifier: MIT
#include "core/Tuning.h"
#include "offscreen/MovieScript.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <vector>

using namespace orvane;
using namespace orvane::MovieScript;

TEST_CASE("the simulated movie follows the lid through the real motion path") {
    const std::vector<Frame> frames = simulate(60, Tuning::defaultClearAngle);
    REQUIRE_FALSE(frames.empty());
    CHECK(frames.front().index == 0);
    CHECK_FALSE(frames.front().visible); // the lid has not moved yet

    // While the lid rests closed the sheet is up and close to it.
    int restingVisible = 0;
    for (const Frame& f : frames) {
        CHECK(f.opacity >= 0);
        CHECK(f.opacity <= 1);
        if (!f.visible) {
            CHECK(f.opacity == 0);
            CHECK(f.velocity == 0);
        }
        if (f.time >= 1.6 && f.time < 2.3) {
            restingVisible += f.visible;
            CHECK(std::abs(f.sheetAngle - 45) < 1.5);
        }
    }
    CHECK(restingVisible == 42);
    // The sheet moves with the lid both ways: down while closing, up while opening.
    double closing = 0;
    double opening = 0;
    for (const Frame& f : frames) {
        (f.time < 1.5 ? closing : opening) =
            f.time < 1.5 ? std::min(closing, f.velocity) : std::max(opening, f.velocity);
    }
    CHECK(closing < -60);
    CHECK(opening > 60);

    const std::optional<std::string> summary = summarize(frames);
    REQUIRE(summary);
    CHECK(summary->find(" deg past 45, at rest (45.") != std::string::npos);
    CHECK_FALSE(summarize({}));
}

TEST_CASE("frames blend the premultiplied fold over the desktop by the opacity") {
    const std::vector<std::uint8_t> desktop{200, 100, 50, 255, 10, 20, 30, 255};
    std::vector<std::uint8_t> overlay{100, 50, 0, 255, 0, 0, 0, 0};
    std::vector<std::uint8_t> full = overlay;
    composite(full, desktop, 1);
    CHECK(full == std::vector<std::uint8_t>{100, 50, 0, 255, 10, 20, 30, 255});
    std::vector<std::uint8_t> none = overlay;
    composite(none, desktop, 0);
    CHECK(none == std::vector<std::uint8_t>{200, 100, 50, 255, 10, 20, 30, 255});
    std::vector<std::uint8_t> half = overlay;
    composite(half, desktop, 0.5);
    CHECK(half == std::vector<std::uint8_t>{150, 75, 25, 255, 10, 20, 30, 255});
    std::vector<std::uint8_t> clamped = overlay;
    composite(clamped, desktop, 7);
    CHECK(clamped == full);
}

TEST_CASE("the frame trace line") {
    Frame f;
    f.index = 6;
    f.time = 0.1;
    f.lidAngle = 114.96;
    f.displayAngle = 114.5;
    f.sheetAngle = 113.25;
    f.velocity = -3.04;
    f.state = GateState::folding;
    f.visible = true;
    CHECK(frameLine(f) ==
          "frame 006 t=0.100s lid=115.0 display=114.50 sheet=113.25 vel=-3.0 folding");
    f.visible = false;
    CHECK(frameLine(f).ends_with(" hidden"));
}
