// SPDX-License-Identifier: MIT
// Which preview render runs next. At most one runs at a time, and of the requests that
// arrive meanwhile only the latest waits, so a dragged slider never builds a backlog.
#pragma once

#include "settings/FoldPreviewRequest.h"

#include <optional>

namespace orvane {

class FoldPreviewQueue {
public:
    // True when a render must start now: take its request with next().
    bool request(const FoldPreviewRequest& r);
    // The running render ended with a frame answering `published`, or failed (none):
    // a failure makes the preview unavailable for good.
    void finished(const std::optional<FoldPreviewRequest>& published);
    // The request to render next; none ends the run.
    std::optional<FoldPreviewRequest> next();

    bool running() const { return running_; }
    bool unavailable() const { return unavailable_; }
    // The request the published frame answers.
    const std::optional<FoldPreviewRequest>& shown() const { return shown_; }

private:
    std::optional<FoldPreviewRequest> pending_;
    std::optional<FoldPreviewRequest> shown_;
    bool running_ = false;
    bool unavailable_ = false;
};

} // namespace orvane
