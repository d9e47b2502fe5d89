// SPDX-License-Identifier: MIT
// What a compositor plug-in makes of the frames it hears: the contract's
// checks on strangers' values, the sheet placed at each presentation time,
// and the fold that settles by itself when the daemon falls silent.
#include "core/Tuning.h"
#include "display/FrameTrack.h"

#include <doctest/doctest.h>

#include <limits>

using namespace orvane;

namespace {

FoldContract::WireFrame still(double angle, double targetTime) {
    return {angle, false, angle, 0, 1, targetTime};
}

} // namespace

TEST_CASE("the contract takes only looks and frames the fold can draw") {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    FoldContract::WireLook look = FoldContract::toWire(FoldLook::tools());
    CHECK(FoldContract::lookFromWire(look) == FoldLook::tools());
    look.style = "plaid";
    CHECK_FALSE(FoldContract::lookFromWire(look));
    CHECK_FALSE(FoldContract::lookFromWire({"dusk", nan, 0, 0, 100, false}));
    const auto clamped = FoldContract::lookFromWire({"dusk", 7, -1, 0.5, 1e9, false});
    REQUIRE(clamped);
    CHECK(clamped->perspective == 1);
    CHECK(clamped->blur == 0);
    CHECK(clamped->clearAngle == Tuning::maxClearAngle);

    FrameTrack track;
    CHECK_FALSE(track.push(still(60, 1), 1)); // nothing begun
    track.begin(FoldLook::tools(), 0);
    CHECK_FALSE(track.push({nan, true, 60, 0, 1, 1}, 1));
    CHECK_FALSE(track.push(still(60, std::numeric_limits<double>::infinity()), 1));
    CHECK_FALSE(track.frameAt(1));
    CHECK(track.push({60, true, 1e6, 5, 9, 1}, 1));
    const auto frame = track.frameAt(1);
    REQUIRE(frame);
    CHECK(frame->opacity == 1);
    CHECK(frame->motion.sheetAngle == 360);
}

TEST_CASE("the sheet is placed between the two latest frames and held at the newest") {
    FrameTrack track;
    track.begin(FoldLook::tools(), 0);
    CHECK(track.push(still(50, 1.0), 0.98));
    CHECK(track.push(still(60, 1.1), 1.08));
    CHECK(track.frameAt(1.05)->angle == doctest::Approx(55));
    CHECK(track.frameAt(0.9)->angle == doctest::Approx(50));
    CHECK(track.frameAt(1.2)->angle == 60);
    CHECK(track.frameAt(1.2)->targetTime == 1.2);

    // A frame for an earlier moment starts over: nothing is mixed across it.
    CHECK(track.push(still(80, 0.5), 1.1));
    CHECK(track.frameAt(1.05)->angle == 80);

    // A new look applies to the frames already heard.
    FoldLook dusk = FoldLook::tools();
    dusk.style = FoldStyle::dusk;
    track.begin(dusk, 1.1);
    CHECK(track.frameAt(1.1)->look == dusk);

    track.end();
    CHECK_FALSE(track.isActive());
    CHECK_FALSE(track.frameAt(1.1));
}

TEST_CASE("when the frames stop the sheet fades out and the fold ends by itself") {
    FrameTrack track;
    track.begin(FoldLook::tools(), 0);
    CHECK(track.push(still(60, 0), 0));
    const double quiet = Tuning::compositorSilence;
    CHECK(track.frameAt(quiet)->opacity == 1);
    CHECK_FALSE(track.fading(quiet));
    CHECK(track.fading(quiet + Tuning::compositorSettle / 2));
    CHECK(track.frameAt(quiet + Tuning::compositorSettle / 2)->opacity == doctest::Approx(0.5));
    CHECK_FALSE(track.settled(quiet + Tuning::compositorSettle / 2));
    CHECK(track.settled(quiet + Tuning::compositorSettle));
    CHECK_FALSE(track.frameAt(quiet + Tuning::compositorSettle));

    // A fold begun but never sent a frame ends the same way.
    FrameTrack silent;
    silent.begin(FoldLook::tools(), 10);
    CHECK(silent.settled(10 + quiet + Tuning::compositorSettle));
}
