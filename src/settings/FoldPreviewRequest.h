// SPDX-License-Identifier: MIT
// What the settings window's preview picture should show.
#pragma once

#include "render/FoldStyle.h"

namespace orvane {

struct FoldPreviewRequest {
    FoldStyle style = FoldStyle::vellum;
    double angle = 0;
    double perspective = 0;
    double blur = 0;
    double shadow = 0;
    double clearAngle = 0;
    bool reduceMotion = false;
    bool operator==(const FoldPreviewRequest&) const = default;
};

} // namespace orvane
