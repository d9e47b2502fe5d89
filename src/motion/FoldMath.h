// SPDX-License-Identifier: MIT
// Stateless mappings from lid and sheet angles to the fold's close amount,
// opacity and motion blur. Shared well beyond the fold itself.
#pragma once

namespace orvane {

// A position on the sheet: u left to right, v from the hinge (0) to the far edge (1).
struct SheetUV {
    double u = 0;
    double v = 0;
};

// A point in plane space: x across, y above the hinge, z < 0 receding.
struct PlanePoint {
    double x = 0;
    double y = 0;
    double z = 0;
};

// Normalized device coordinates, y up, [-1, 1] covering the viewport.
struct NdcPoint {
    double x = 0;
    double y = 0;
};

namespace FoldMath {

// Clamp to [0, 1]; NaN gives 0 so a bad value never reaches a slider or a shader.
double saturate(double x);
double mix(double a, double b, double t);
// e0 may exceed e1 for a falling step.
double smoothstep(double e0, double e1, double x);
// Close amount of a sheet angle: 0 at or above the clear angle, 1 when shut.
double t(double angle, double clearAngle, double perspective);
// Overlay opacity of a hinge angle: 1 at or below the clear angle.
double fade(double angle, double clearAngle);
// Far-edge blur length in texture units for an angular speed in deg/s.
double motionBlurLength(double velocity);
NdcPoint projectCorner(SheetUV uv, double t, double perspective, double aspect);

} // namespace FoldMath
} // namespace orvane
