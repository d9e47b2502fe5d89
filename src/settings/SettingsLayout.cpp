// SPDX-License-Identifier: MIT
#include "settings/SettingsLayout.h"

#include "core/Tuning.h"

#include <algorithm>
#include <cmath>

namespace orvane::SettingsLayout {

namespace {

std::string whole(double value) {
    return std::to_string(static_cast<long long>(std::round(value)));
}

} // namespace

int windowContentHeight(std::optional<double> visibleHeight) {
    if (!visibleHeight || !std::isfinite(*visibleHeight) || *visibleHeight <= 0) {
        return preferredContentHeight;
    }
    const double fits = std::floor(*visibleHeight - screenMargin);
    return static_cast<int>(
        std::min<double>(preferredContentHeight, std::max<double>(minContentHeight, fits)));
}

Level windowLevel(const FoldSettings& settings) {
    return settings.previewAngle ? Level::aboveOverlay : Level::normal;
}

std::string coverSentence(double clearAngle) {
    return "The Cover shows when the lid rests between " + whole(Tuning::coverMinAngle) +
           "° and the clear angle, now " + whole(clearAngle) + "°.";
}

std::string angleLine(bool followsLid, const SettingsHost::SensorFacts& sensor) {
    if (!followsLid) {
        return "The screen holds the fold at this angle. It follows the lid again after " +
               whole(Tuning::previewIdleTimeout) +
               " s without a touch, and when this window closes.";
    }
    if (!sensor.open) {
        return "This computer has no readable lid sensor. Turn off Follow lid to see the fold at "
               "this angle.";
    }
    if (sensor.readsOnlyZero) {
        return "The lid sensor reads 0°. Open the lid to test. Turn off Follow lid to see the fold "
               "at this angle.";
    }
    return "The screen folds with the lid. Turn off Follow lid to hold the screen at this angle.";
}

} // namespace orvane::SettingsLayout
