// SPDX-License-Identifier: MIT
#include "app/StatusItemModel.h"

#include "core/Tuning.h"
#include "settings/FoldSettings.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// The icon's geometry, in points with y upward.
constexpr double iconCentreX = 8;
constexpr double narrowHalfWidth = 5;
constexpr double widestHalfWidth = 7;
constexpr double narrowAngle = 30;
constexpr double widestAngle = 120;
constexpr double postBottom = 3;
constexpr double postTop = 11;
constexpr double postWidth = 1.6;
constexpr double bellowsMiddle = 7;
constexpr double foldHigh = 10;
constexpr double foldLow = 4;
constexpr int foldSegments = 6;
constexpr double pausedOpacity = 0.45;
// The barred mark: a short bar under the right end; the slashed mark: a
// diagonal across the whole icon.
constexpr double barFromRight = 3.6;
constexpr double barToRight = 0.4;
constexpr double barY = 1.2;
constexpr double barWidth = 1.6;
constexpr double slashInset = 0.2;
constexpr double slashBottom = 1.6;
constexpr double slashTop = 12.4;
constexpr double slashWidth = 1.4;

struct VariantLook {
    double bellowsWidth;
    double opacity;
};

VariantLook look(IconVariant variant) {
    switch (variant) {
    case IconVariant::ready:
        return {1.4, 1};
    case IconVariant::paused:
        return {1.2, pausedOpacity};
    case IconVariant::asleep:
        return {1.2, 1};
    case IconVariant::barred:
    case IconVariant::slashed:
        return {1.3, 1};
    }
    return {1.4, 1};
}

} // namespace

bool StatusItemModel::apply(const Availability& availability) {
    const IconVariant old = presentation_.icon;
    presentation_ = availability.presentation();
    return presentation_.icon != old;
}

bool StatusItemModel::apply(const FoldSettings& settings) {
    state_.paused = settings.paused;
    state_.style = settings.style;
    state_.coverMode = settings.coverMode;
    state_.accordion = settings.accordion;
    if (settings.showAngleInMenuBar == state_.showAngle) {
        return false;
    }
    state_.showAngle = settings.showAngleInMenuBar;
    return true;
}

bool StatusItemModel::applyLidSample(std::optional<double> angle, double velocity) {
    if (angle && !std::isfinite(*angle)) {
        angle.reset();
    }
    const bool wasReading = hasReading_;
    hasReading_ = angle.has_value();
    if (!angle) {
        return wasReading;
    }
    if (wasReading && !(std::abs(velocity) >= Tuning::armVelocity &&
                        std::abs(*angle - displayedAngle_) >= Tuning::iconRedrawMinDelta)) {
        return false;
    }
    displayedAngle_ = *angle;
    return true;
}

std::string StatusItemModel::angleText() const {
    if (!state_.showAngle) {
        return {};
    }
    if (!hasReading_) {
        return "–";
    }
    return std::to_string(static_cast<long long>(std::trunc(displayedAngle_))) + "°";
}

std::string StatusItemModel::toolTip() const {
    if (!state_.showAngle || !hasReading_) {
        return presentation_.tooltip;
    }
    return angleText() + " · " + presentation_.tooltip;
}

std::string_view StatusItemModel::pauseTitle() const {
    return state_.paused ? StatusMenuText::resume : StatusMenuText::pause;
}

double bellowsHalfWidth(double angle) {
    // Written so that NaN takes the narrow branch.
    if (!(angle > narrowAngle)) {
        return narrowHalfWidth;
    }
    const double a = std::min(angle, widestAngle);
    return narrowHalfWidth +
           (a - narrowAngle) / (widestAngle - narrowAngle) * (widestHalfWidth - narrowHalfWidth);
}

BellowsDrawing bellowsDrawing(double angle, IconVariant variant) {
    const double h = bellowsHalfWidth(angle);
    const double left = iconCentreX - h;
    const double right = iconCentreX + h;
    const VariantLook style = look(variant);

    BellowsDrawing drawing;
    drawing.opacity = style.opacity;
    drawing.strokes.push_back({{{left, postBottom}, {left, postTop}}, postWidth});
    drawing.strokes.push_back({{{right, postBottom}, {right, postTop}}, postWidth});
    IconStroke bellows{{{left, bellowsMiddle}}, style.bellowsWidth};
    for (int k = 1; k <= foldSegments; ++k) {
        bellows.points.push_back(
            {left + k * (right - left) / foldSegments, k % 2 == 1 ? foldHigh : foldLow});
    }
    drawing.strokes.push_back(std::move(bellows));
    if (variant == IconVariant::barred) {
        drawing.strokes.push_back(
            {{{right - barFromRight, barY}, {right - barToRight, barY}}, barWidth});
    } else if (variant == IconVariant::slashed) {
        drawing.strokes.push_back(
            {{{left + slashInset, slashBottom}, {right - slashInset, slashTop}}, slashWidth});
    }
    return drawing;
}

} // namespace orvane
