// SPDX-License-Identifier: MIT
// How a fold looks at any angle: the style, the three sliders, the clear angle
// it fades out towards and whether motion is reduced. One value, handed from
// the settings to every place that draws the fold.
#pragma once

#include "core/Tuning.h"
#include "render/FoldStyle.h"

namespace orvane {

struct FoldLook {
    FoldStyle style = FoldStyle::vellum;
    double perspective = 0; // slider, 0...1
    double blur = 0;        // slider, 0...1
    double shadow = 0;      // slider, 0...1
    double clearAngle = 0;  // degrees
    bool reduceMotion = false;
    bool operator==(const FoldLook&) const = default;

    // The tools' look where they are given no other: the sliders half way.
    static FoldLook tools() {
        return {FoldStyle::vellum,           Tuning::renderSliderDefault,
                Tuning::renderSliderDefault, Tuning::renderSliderDefault,
                Tuning::defaultClearAngle,   false};
    }
};

} // namespace orvane
