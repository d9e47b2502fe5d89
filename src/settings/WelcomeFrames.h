// SPDX-License-Identifier: MIT
// The welcome animation's lid: frame i of Tuning::welcomeFrameCount swings from the
// open end down to the closed end and back, so the frames loop without a jump.
#pragma once

namespace orvane {

// Degrees of lid opening at frame `i`: 110 at frame 0, 50 halfway.
double welcomeFrameAngle(int i);

} // namespace orvane
