// SPDX-License-Identifier: MIT
#include "selfcheck/SelfChecks.h"

#include "selfcheck/ComponentChecks.h"
#include "selfcheck/LidChecks.h"
#include "selfcheck/MotionChecks.h"

namespace orvane {

std::vector<SelfCheckGroup> pureSelfCheckGroups() {
    return {
        {"lid_report_", lidReportChecks},
        {"lid_calibration_", lidCalibrationChecks},
        {"sensor_", sensorChecks},
        {"foldmath_", foldMathChecks},
        {"gate_", gateChecks},
        {"smooth_", smoothChecks},
        {"capture_", captureChecks},
        {"availability_", availabilityChecks},
        {"blocklist_", blocklistChecks},
        {"click_", clickChecks},
        {"veil_", veilChecks},
        {"accordion_", accordionChecks},
        {"settings_", settingsChecks},
        {"menu_", menuChecks},
    };
}

} // namespace orvane
