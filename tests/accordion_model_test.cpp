// SPDX-License-Identifier: MIT
// The accordion's model: lid samples in, chord zone, bellows and shake out.
#include "accordion/AccordionModel.h"
#include "core/Tuning.h"

#include <doctest/doctest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace orvane;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// Feeds a lid moving at a constant speed, 60 samples a second.
struct Lid {
    void move(double speed, double seconds) {
        const int steps = static_cast<int>(std::round(seconds * 60));
        for (int i = 0; i < steps; ++i) {
            t += 1.0 / 60;
            angle += speed / 60;
            model.update(angle, speed, t, params);
        }
    }
    AccordionModel model;
    AccordionParams params;
    double angle = 100;
    double t = 0;
};

} // namespace

TEST_CASE("the zone holds within two degrees beyond its edges") {
    SUBCASE("a big jump crosses several zones at once, both ways") {
        CHECK(AccordionModel::zoneForAngle(10, 0) == 5);
        CHECK(AccordionModel::zoneForAngle(60, 5) == 3);
        CHECK(AccordionModel::zoneForAngle(170, 5) == 0);
        CHECK(AccordionModel::zoneForAngle(36, 5) == 5);
    }
    SUBCASE("a NaN angle or an out-of-range zone never leaves the zone range") {
        CHECK(AccordionModel::zoneForAngle(notANumber, 3) == 3);
        CHECK(AccordionModel::zoneForAngle(100, 40) == 1);
        CHECK(AccordionModel::zoneForAngle(100, -3) == 1);
        CHECK(AccordionModel::zoneForAngle(inf, 4) == 0);
        CHECK(AccordionModel::zoneForAngle(-inf, 1) == 5);
    }
    SUBCASE("the first placement has none of the hold; an edge belongs to the zone above") {
        std::int64_t above = 0;
        for (const double edge : Tuning::accordionZoneEdges) {
            CAPTURE(edge);
            CHECK(AccordionModel::rawZone(edge) == above);
            CHECK(AccordionModel::rawZone(edge - 0.1) == ++above);
        }
        AccordionModel model;
        AccordionParams params;
        model.update(114, 0, 0, params);
        CHECK(model.zone == 1);
        CHECK(params.zone == 1);
    }
}

TEST_CASE("the bellows direction follows the lid only while it really moves") {
    // Slow jitter: a twentieth of a degree back and forth, reported at 3 deg/s.
    const auto jitter = [](Lid& lid, double low) {
        for (int i = 0; i < 300; ++i) {
            lid.t += 1.0 / 60;
            lid.model.update(lid.angle + (i % 2 == 0 ? 0.05 : low), i % 2 == 0 ? 3 : -3, lid.t,
                             lid.params);
        }
    };
    SUBCASE("closing at 80 degrees per second pushes, opening pulls") {
        Lid closing;
        closing.move(-80, 0.3);
        CHECK(closing.params.direction == -1);
        CHECK(closing.params.targetPressure > 0.8f);
        Lid opening;
        opening.move(80, 0.3);
        CHECK(opening.params.direction == 1);
    }
    SUBCASE("slow jitter at rest never sets a direction") {
        Lid lid;
        jitter(lid, -0.05);
        CHECK(lid.params.direction == 0);
        CHECK(lid.params.targetPressure <= 0.05f);
        CHECK(lid.params.puffCounter == 0);
    }
    SUBCASE("slow jitter after a push keeps the push and makes no puff") {
        Lid lid;
        lid.move(-80, 0.3);
        jitter(lid, 0.0);
        CHECK(lid.params.direction == -1);
        CHECK(lid.params.puffCounter == 0);
    }
    SUBCASE("a reported velocity without travel makes no pressure") {
        Lid lid;
        lid.move(0, 0.2);
        lid.t += 1.0 / 60;
        lid.model.update(lid.angle, -200, lid.t, lid.params);
        CHECK(lid.params.targetPressure == 0.0f);
        CHECK(lid.params.direction == 0);
    }
    SUBCASE("the first sample has only the reported speed to go by") {
        AccordionModel model;
        AccordionParams params;
        model.update(100, -120, 5, params);
        CHECK(params.targetPressure == 1.0f);
        CHECK(params.direction == -1);
        AccordionModel slow;
        slow.update(100, 1.0, 5, params);
        CHECK(params.targetPressure == 0.0f);
    }
    SUBCASE("pressure grows with speed up to full") {
        float last = -1;
        for (const double speed : {5.0, 20.0, 45.0, 70.0, 92.0}) {
            Lid lid;
            lid.move(speed, 0.2);
            CHECK(lid.params.targetPressure > last);
            last = lid.params.targetPressure;
        }
        CHECK(last == 1.0f);
    }
}

TEST_CASE("bellows reversals puff and, in quick succession, shake") {
    SUBCASE("one reversal puffs once without tremolo") {
        Lid lid;
        lid.move(-80, 0.3);
        lid.move(80, 0.3);
        CHECK(lid.params.puffCounter == 1);
        CHECK(lid.params.tremolo == 0.0f);
    }
    SUBCASE("starting from rest is no reversal") {
        Lid lid;
        lid.move(80, 0.3);
        CHECK(lid.params.puffCounter == 0);
    }
    SUBCASE("quick reversals shake, and the shake fades within a second") {
        Lid lid;
        lid.move(-80, 0.2);
        float peak = 0;
        for (int i = 0; i < 6; ++i) {
            lid.move(i % 2 == 0 ? 80 : -80, 0.1);
            peak = std::max(peak, lid.params.tremolo.load());
        }
        CHECK(lid.params.puffCounter == 6);
        CHECK(peak > 0.3f);
        CHECK(peak <= 1.0f);
        lid.move(-80, 1.0);
        CHECK(lid.params.tremolo == 0.0f);
    }
    SUBCASE("the puff counter wraps") {
        Lid lid;
        lid.params.puffCounter = std::numeric_limits<std::int32_t>::max();
        lid.move(-80, 0.2);
        lid.move(80, 0.2);
        CHECK(lid.params.puffCounter == std::numeric_limits<std::int32_t>::min());
    }
}

TEST_CASE("a lid sample with a non-finite part is ignored") {
    Lid lid;
    lid.move(-80, 0.2);
    const AccordionModel before = lid.model;
    const float pressure = lid.params.targetPressure;
    for (const auto& [a, v, t] : std::vector<std::array<double, 3>>{{notANumber, -80, 1},
                                                                    {inf, -80, 1},
                                                                    {90, notANumber, 1},
                                                                    {90, -inf, 1},
                                                                    {90, -80, notANumber},
                                                                    {90, -80, inf}}) {
        lid.model.update(a, v, t, lid.params);
        CHECK(lid.model == before);
        CHECK(lid.params.targetPressure == pressure);
    }
    CHECK(std::isfinite(lid.params.tremolo.load()));
}
