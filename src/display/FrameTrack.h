// SPDX-License-Identifier: MIT
// The frames a compositor plug-in has heard from the daemon, and the sheet it
// shows at each presentation time: between the two latest frames by their
// target times, held at the newest. When the frames stop coming the sheet
// fades out from where it was and the fold ends by itself. Times are seconds
// on CLOCK_MONOTONIC, the clock of the frames' target times.
#pragma once

#include "display/FoldContract.h"

#include <optional>

namespace orvane {

class FrameTrack {
public:
    // A new fold with this look, or a new look for the fold in progress; `now` counts as
    // a frame heard.
    void begin(const FoldLook& look, double now);
    // False, and nothing kept, for a frame the contract refuses or one before `begin`.
    bool push(const FoldContract::WireFrame& wire, double now);
    void end();

    bool isActive() const { return look_.has_value(); }
    // None before the first frame, after `end`, and once the silence has settled it.
    std::optional<FoldFrameParams> frameAt(double presentTime) const;
    // Heard nothing for the silence: the sheet is fading out.
    bool fading(double now) const;
    // Heard nothing for so long that the sheet has settled: the plug-in ends the fold.
    bool settled(double now) const;

private:
    std::optional<FoldLook> look_;
    std::optional<FoldFrameParams> older_;
    std::optional<FoldFrameParams> newest_;
    double lastHeard_ = 0;
};

} // namespace orvane
