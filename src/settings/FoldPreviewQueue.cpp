// SPDX-License-Identifier: MIT
#include "settings/FoldPreviewQueue.h"

namespace orvane {

bool FoldPreviewQueue::request(const FoldPreviewRequest& r) {
    if (unavailable_ || (!running_ && !pending_ && shown_ == r)) {
        return false;
    }
    pending_ = r;
    if (running_) {
        return false;
    }
    running_ = true;
    return true;
}

void FoldPreviewQueue::finished(const std::optional<FoldPreviewRequest>& published) {
    if (published) {
        shown_ = published;
    } else {
        unavailable_ = true;
        pending_.reset();
    }
}

std::optional<FoldPreviewRequest> FoldPreviewQueue::next() {
    std::optional<FoldPreviewRequest> taken;
    if (!unavailable_) {
        taken.swap(pending_);
    }
    running_ = taken.has_value();
    return taken;
}

} // namespace orvane
