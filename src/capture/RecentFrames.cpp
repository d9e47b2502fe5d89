// SPDX-License-Identifier: MIT
#include "capture/RecentFrames.h"

namespace orvane {

void RecentFrames::note(const FrameBox& frame) {
    if (!frames_.empty() && frames_.back().streamGeneration == frame.streamGeneration &&
        frames_.back().counter == frame.counter) {
        return;
    }
    frames_.push_back(frame);
    while (frames_.size() > static_cast<std::size_t>(Tuning::recentFrameCount)) {
        frames_.pop_front();
    }
}

} // namespace orvane
