// SPDX-License-Identifier: MIT
#include "settings/WelcomeFrames.h"

#include "core/Tuning.h"

#include <cmath>
#include <numbers>

namespace orvane {

double welcomeFrameAngle(int i) {
    const double turn = 2 * std::numbers::pi * i / Tuning::welcomeFrameCount;
    return Tuning::welcomeMiddleAngle + Tuning::welcomeSwingAngle * std::cos(turn);
}

} // namespace orvane
