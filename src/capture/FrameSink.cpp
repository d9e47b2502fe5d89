// SPDX-License-Identifier: MIT
#include "capture/CaptureBackend.h"

namespace orvane {

FrameSink::FrameSink(std::weak_ptr<CaptureFrameSlot> slot, std::uint64_t streamGeneration,
                     std::function<void(const std::string&)> onError)
    : slot_(std::move(slot)), streamGeneration_(streamGeneration), onError_(std::move(onError)) {}

void FrameSink::deliver(std::shared_ptr<const FrameTexture> texture) {
    ++counter_;
    if (const std::shared_ptr<CaptureFrameSlot> slot = slot_.lock()) {
        slot->publish({std::move(texture), counter_, streamGeneration_});
    }
}

void FrameSink::fail(const std::string& message) {
    if (onError_) {
        onError_(message);
    }
}

} // namespace orvane
