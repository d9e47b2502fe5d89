// SPDX-License-Identifier: MIT
// Check groups of lid sensing: the report, the calibration, and the sensor
// service over a simulated device.
#pragma once

#include "selfcheck/Reporter.h"

namespace orvane {

void lidReportChecks(Reporter& r);
void lidCalibrationChecks(Reporter& r);
void sensorChecks(Reporter& r);

} // namespace orvane
