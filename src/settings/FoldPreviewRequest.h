// SPDX-License-Identifier: MIT
// What the settings window's preview picture should show.
#pragma once

#include "render/FoldLook.h"

namespace orvane {

struct FoldPreviewRequest {
    FoldLook look;
    double angle = 0;
    bool operator==(const FoldPreviewRequest&) const = default;
};

} // namespace orvane
