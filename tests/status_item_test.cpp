// SPDX-License-Identifier: MIT
// The status item's model: the angle it shows, its texts and the bellows geometry.
#include "app/StatusItemModel.h"
#include "settings/FoldSettings.h"

#include <doctest/doctest.h>

#include <limits>

using namespace orvane;

TEST_CASE("status item: the shown angle moves only with a brisk lid, by 3 degrees or more, and "
          "keeps its place when the sensor closes") {
    StatusItemModel model;
    FoldSettings settings;
    settings.showAngleInMenuBar = true;
    CHECK(model.apply(settings));
    CHECK(model.angleText() == "–");

    CHECK(model.applyLidSample(87.9, 0)); // the first reading shows at once, however slow
    CHECK(model.angleText() == "87°");
    for (double angle = 88; angle < 130; angle += 1) { // slow, however far
        CHECK_FALSE(model.applyLidSample(angle, 5.9));
    }
    CHECK_FALSE(model.applyLidSample(89.8, 60)); // fast but short
    CHECK(model.displayedAngle() == 87.9);
    CHECK(model.applyLidSample(84.5, -6)); // brisk closing counts too
    CHECK(model.angleText() == "84°");
    CHECK(model.toolTip() == "84° · Orvane follows the lid.");

    CHECK(model.applyLidSample(std::nullopt, 0));
    CHECK_FALSE(model.applyLidSample(std::nullopt, 0));
    CHECK(model.angleText() == "–");
    CHECK(model.displayedAngle() == 84.5);
    CHECK(model.toolTip() == "Orvane follows the lid.");
    CHECK_FALSE(model.applyLidSample(std::numeric_limits<double>::quiet_NaN(), 60));
    CHECK(model.applyLidSample(-0.5, 0));
    CHECK(model.angleText() == "0°"); // truncated toward zero

    settings.showAngleInMenuBar = false;
    CHECK(model.apply(settings));
    CHECK_FALSE(model.apply(settings));
    CHECK(model.angleText().empty());
    CHECK(model.toolTip() == "Orvane follows the lid.");
}

TEST_CASE("status item: a new availability redraws the icon only when its variant changes") {
    StatusItemModel model;
    CHECK_FALSE(model.apply(Availability::ready()));
    CHECK(model.apply(Availability::lowPower()));
    CHECK_FALSE(model.apply(Availability::thermal())); // also barred
    CHECK(model.presentation() == Availability::thermal().presentation());
}

TEST_CASE("status item: the bellows widen from half-width 5 at 30 degrees to 7 at 120, and each "
          "variant has its stroke and mark") {
    CHECK(bellowsHalfWidth(0) == 5);
    CHECK(bellowsHalfWidth(30) == 5);
    CHECK(bellowsHalfWidth(75) == doctest::Approx(6));
    CHECK(bellowsHalfWidth(120) == 7);
    CHECK(bellowsHalfWidth(170) == 7);

    const BellowsDrawing ready = bellowsDrawing(75, IconVariant::ready);
    REQUIRE(ready.strokes.size() == 3);
    CHECK(ready.strokes[0] == IconStroke{{{2, 3}, {2, 11}}, 1.6});
    CHECK(ready.strokes[1] == IconStroke{{{14, 3}, {14, 11}}, 1.6});
    CHECK(ready.strokes[2] ==
          IconStroke{{{2, 7}, {4, 10}, {6, 4}, {8, 10}, {10, 4}, {12, 10}, {14, 4}}, 1.4});
    CHECK(ready.opacity == 1);

    const BellowsDrawing paused = bellowsDrawing(75, IconVariant::paused);
    CHECK((paused.strokes.size() == 3 && paused.strokes[2].width == 1.2 && paused.opacity == 0.45));
    CHECK(bellowsDrawing(75, IconVariant::asleep).strokes[2].width == 1.2);
    const BellowsDrawing barred = bellowsDrawing(75, IconVariant::barred);
    REQUIRE(barred.strokes.size() == 4);
    CHECK(barred.strokes[2].width == 1.3);
    CHECK(barred.strokes[3] == IconStroke{{{14 - 3.6, 1.2}, {14 - 0.4, 1.2}}, 1.6});
    const BellowsDrawing slashed = bellowsDrawing(30, IconVariant::slashed);
    REQUIRE(slashed.strokes.size() == 4);
    CHECK(slashed.strokes[3] == IconStroke{{{3 + 0.2, 1.6}, {13 - 0.2, 12.4}}, 1.4});
}
