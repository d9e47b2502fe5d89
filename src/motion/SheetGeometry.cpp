// SPDX-License-Identifier: MIT
#include "motion/SheetGeometry.h"

#include "core/Tuning.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {
constexpr int bisectionSteps = 30;

double usableAspect(double aspect) {
    return std::isfinite(aspect) && aspect > 0 ? aspect : 1.0;
}
} // namespace

SheetGeometry::SheetGeometry(double t, double perspective, double aspect) {
    using namespace Tuning;
    t_ = FoldMath::saturate(t);
    height_ = 2 / usableAspect(aspect);
    const double p = FoldMath::saturate(perspective);
    const double maxRotation = foldRotationMin + p * (foldRotationMax - foldRotationMin);
    theta_ = t_ * maxRotation * std::numbers::pi / 180;
    radius_ = height_ * (bendRadiusOpen + t_ * (bendRadiusClosed - bendRadiusOpen));
    bendLength_ = std::min(height_, theta_ * radius_);
    stretchReach_ = std::clamp(Tuning::stretchReach * bendLength_ / height_, stretchReachMin, 1.0);
    const double m = 1 + t_ * stretchMax;
    stretchK_ = (m - 1) / (m - stretchReach_ / 2);
}

PlanePoint SheetGeometry::point(SheetUV uv) const {
    const double x = 2 * uv.u - 1;
    const double s = height_ * uv.v;
    if (s < bendLength_) {
        const double phi = s / radius_;
        return {x, radius_ * std::sin(phi), -radius_ * (1 - std::cos(phi))};
    }
    const double run = s - bendLength_;
    return {x, radius_ * std::sin(theta_) + run * std::cos(theta_),
            -radius_ * (1 - std::cos(theta_)) - run * std::sin(theta_)};
}

NdcPoint SheetGeometry::project(PlanePoint p) const {
    const double d = Tuning::foldCameraDistance;
    const double w = d - p.z;
    return {d * p.x / w, (2 * d / height_) * (p.y - height_ / 2) / w};
}

double SheetGeometry::textureV(double u) const {
    const double k = stretchK_;
    const double r = stretchReach_;
    if (!(k > 0)) {
        return u;
    }
    const double x = std::min(u / r, 1.0);
    const double b = r * (x - x * x * x + x * x * x * x / 2);
    return (u - k * b) / (1 - k * r / 2);
}

FarEdge SheetGeometry::farEdge() const {
    const NdcPoint corner = project(point({1, 1}));
    return {corner.y, corner.x};
}

std::vector<float> SheetGeometry::edgeTable(std::int64_t count) const {
    const std::int64_t n = std::max<std::int64_t>(count, 2);
    const double top = farEdge().y;
    const double d = Tuning::foldCameraDistance;
    std::vector<float> table;
    table.reserve(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        const double target = -1 + (top + 1) * static_cast<double>(i) / static_cast<double>(n - 1);
        double lo = 0;
        double hi = 1;
        for (int step = 0; step < bisectionSteps; ++step) {
            const double mid = (lo + hi) / 2;
            if (project(point({1, mid})).y < target) {
                lo = mid;
            } else {
                hi = mid;
            }
        }
        const PlanePoint p = point({1, (lo + hi) / 2});
        table.push_back(static_cast<float>(d / (d - p.z)));
    }
    return table;
}

} // namespace orvane
