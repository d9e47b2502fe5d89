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
