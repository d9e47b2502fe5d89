// SPDX-License-Identifier: MIT
#include "display/FrameTrack.h"

#include "core/Tuning.h"

#include <algorithm>

namespace orvane {

namespace {

double mix(double a, double b, double f) {
    return a + (b - a) * f;
}

} // namespace

void FrameTrack::begin(const FoldLook& look, double now) {
    look_ = look;
    lastHeard_ = now;
    for (std::optional<FoldFrameParams>* frame : {&older_, &newest_}) {
        if (*frame) {
            (*frame)->look = look;
        }
    }
}

bool FrameTrack::push(const FoldContract::WireFrame& wire, double now) {
    if (!look_) {
        return false;
    }
    std::optional<FoldFrameParams> frame = FoldContract::frameFromWire(*look_, wire);
    if (!frame) {
        return false;
    }
    lastHeard_ = now;
    // A frame meant for an earlier moment than the newest replaces it: the daemon's clock
    // went back (a new fold, a preview), and mixing across that would sweep the sheet.
    if (newest_ && frame->targetTime >= newest_->targetTime) {
        older_ = newest_;
    } else {
        older_.reset();
    }
    newest_ = frame;
    return true;
}

void FrameTrack::end() {
    look_.reset();
    older_.reset();
    newest_.reset();
}

std::optional<FoldFrameParams> FrameTrack::frameAt(double presentTime) const {
    if (!look_ || !newest_ || settled(presentTime)) {
        return std::nullopt;
    }
    FoldFrameParams frame = *newest_;
    if (older_ && presentTime < newest_->targetTime) {
        const double span = newest_->targetTime - older_->targetTime;
        const double f =
            span > 0 ? std::clamp((presentTime - older_->targetTime) / span, 0.0, 1.0) : 1.0;
        frame.angle = mix(older_->angle, newest_->angle, f);
        frame.opacity = mix(older_->opacity, newest_->opacity, f);
        if (older_->motion.kind == newest_->motion.kind) {
            frame.motion.sheetAngle = mix(older_->motion.sheetAngle, newest_->motion.sheetAngle, f);
            frame.motion.velocity = mix(older_->motion.velocity, newest_->motion.velocity, f);
        }
    }
    frame.targetTime = presentTime;
    const double quiet = presentTime - lastHeard_ - Tuning::compositorSilence;
    if (quiet > 0) {
        frame.opacity *= 1.0 - quiet / Tuning::compositorSettle;
    }
    return frame;
}

bool FrameTrack::fading(double now) const {
    return look_ && now - lastHeard_ > Tuning::compositorSilence;
}

bool FrameTrack::settled(double now) const {
    return look_ && now - lastHeard_ >= Tuning::compositorSilence + Tuning::compositorSettle;
}

} // namespace orvane
