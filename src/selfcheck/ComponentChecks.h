// SPDX-License-Identifier: MIT
// Groups of checks over the capture, status, policy, sound, cover, settings
// and menu components, each run over doubles and throwaway stores.
#pragma once

#include "selfcheck/Reporter.h"

#include <functional>

namespace orvane {

void captureChecks(Reporter& report);
void availabilityChecks(Reporter& report);
void blocklistChecks(Reporter& report);
void clickChecks(Reporter& report);
void veilChecks(Reporter& report);
void accordionChecks(Reporter& report);
// Rendering against real time needs a clock the pure core does not have:
// `cpuSeconds` is the process's CPU time, from the caller.
void accordionBudgetChecks(Reporter& report, const std::function<double()>& cpuSeconds);
void settingsChecks(Reporter& report);
void menuChecks(Reporter& report);

} // namespace orvane
