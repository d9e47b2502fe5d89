// SPDX-License-Identifier: MIT
// The bent sheet of one frame: the CPU twin of the GPU vertex stage, so the
// renderer can feed the shader exactly the numbers computed here.
#pragma once

#include "motion/FoldMath.h"

#include <cstdint>
#include <vector>

namespace orvane {

struct FarEdge {
    double y = 0;         // NDC height of the far edge
    double halfWidth = 0; // NDC half-width there
};

class SheetGeometry {
public:
    // A non-finite or non-positive aspect counts as square.
    SheetGeometry(double t, double perspective, double aspect);

    PlanePoint point(SheetUV uv) const;
    NdcPoint project(PlanePoint p) const;
    // Texture v (from the hinge) shown at sheet position v = u.
    double textureV(double u) const;
    FarEdge farEdge() const;
    // Projected half-width at evenly spaced heights from hinge to far edge;
    // at least two entries.
    std::vector<float> edgeTable(std::int64_t count) const;

    double t() const { return t_; }
    double theta() const { return theta_; }
    double radius() const { return radius_; }
    double bendLength() const { return bendLength_; }
    double height() const { return height_; }
    double stretchK() const { return stretchK_; }
    double stretchReach() const { return stretchReach_; }

    friend bool operator==(const SheetGeometry&, const SheetGeometry&) = default;

private:
    double t_;
    double theta_;
    double radius_;
    double bendLength_;
    double height_;
    double stretchK_;
    double stretchReach_;
};

} // namespace orvane
