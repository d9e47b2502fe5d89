// SPDX-License-Identifier: MIT
// The last few distinct frames handed to the renderer. Holding them keeps their
// textures alive while the GPU may still read them, and lets the self-check see
// which frames the fold actually drew.
#pragma once

#include "capture/FrameBox.h"
#include "core/Tuning.h"

#include <cstddef>
#include <deque>

namespace orvane {

class RecentFrames {
public:
    // Appends `frame` unless it is the one noted last (same stream and number).
    void note(const FrameBox& frame);
    void clear() { frames_.clear(); }
    const std::deque<FrameBox>& frames() const { return frames_; }

private:
    std::deque<FrameBox> frames_;
};

} // namespace orvane
