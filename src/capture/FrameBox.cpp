// SPDX-License-Identifier: MIT
#include "capture/FrameBox.h"

namespace orvane {

void CaptureFrameSlot::publish(FrameBox box) {
    if (!liveGeneration || *liveGeneration != box.streamGeneration) {
        return;
    }
    frameGeneration = box.streamGeneration;
    frameCounter = box.counter;
    frame = std::move(box);
}

} // namespace orvane
