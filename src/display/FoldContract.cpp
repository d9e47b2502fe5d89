// SPDX-License-Identifier: MIT
#include "display/FoldContract.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace orvane::FoldContract {

namespace {

// Angles past a full turn of the lid mean nothing to the sheet.
constexpr double fullTurn = 360;

bool finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

} // namespace

WireLook toWire(const FoldLook& look) {
    return {std::string(rawValue(look.style)),
            look.perspective,
            look.blur,
            look.shadow,
            look.clearAngle,
            look.reduceMotion};
}

WireFrame toWire(const FoldFrameParams& frame) {
    const bool scripted = frame.motion.kind == FoldMotion::Kind::scripted;
    return {frame.angle,           scripted,      frame.motion.sheetAngle,
            frame.motion.velocity, frame.opacity, frame.targetTime};
}

std::optional<FoldLook> lookFromWire(const WireLook& wire) {
    const std::optional<FoldStyle> style = foldStyleFromRaw(wire.style);
    if (!style || !finite({wire.perspective, wire.blur, wire.shadow, wire.clearAngle})) {
        return std::nullopt;
    }
    return FoldLook{*style,
                    std::clamp(wire.perspective, 0.0, 1.0),
                    std::clamp(wire.blur, 0.0, 1.0),
                    std::clamp(wire.shadow, 0.0, 1.0),
                    std::clamp(wire.clearAngle, Tuning::minClearAngle, Tuning::maxClearAngle),
                    wire.reduceMotion};
}

std::optional<FoldFrameParams> frameFromWire(const FoldLook& look, const WireFrame& wire) {
    if (!finite({wire.angle, wire.sheetAngle, wire.velocity, wire.opacity, wire.targetTime})) {
        return std::nullopt;
    }
    FoldFrameParams frame;
    frame.look = look;
    frame.angle = std::clamp(wire.angle, 0.0, fullTurn);
    frame.motion = wire.scripted ? FoldMotion::scripted(std::clamp(wire.sheetAngle, 0.0, fullTurn),
                                                        wire.velocity)
                                 : FoldMotion::still();
    frame.opacity = std::clamp(wire.opacity, 0.0, 1.0);
    frame.targetTime = wire.targetTime;
    return frame;
}

} // namespace orvane::FoldContract
