// SPDX-License-Identifier: MIT
#include "sensor/LidCalibration.h"

#include "core/Tuning.h"

#include <cmath>

namespace orvane::LidCalibration {

namespace {
// The lid usually rests a few degrees above where the user wants the screen
// to clear.
constexpr double calibrationOffset = 6.0;
} // namespace

bool isPlausible(bool open, bool readsOnlyZero, std::optional<double> angle) {
    return open && !readsOnlyZero && angle.has_value() && std::isfinite(*angle) &&
           Tuning::lidCalibrationMinAngle <= *angle && *angle <= Tuning::lidCalibrationMaxAngle;
}

double storedValue(double angle) {
    double value = angle - calibrationOffset;
    // Written as comparisons rather than a clamp so that a NaN reading lands
    // on the minimum instead of passing through.
    if (!(value > Tuning::minClearAngle)) {
        value = Tuning::minClearAngle;
    }
    if (Tuning::maxClearAngle < value) {
        value = Tuning::maxClearAngle;
    }
    return value;
}

} // namespace orvane::LidCalibration
