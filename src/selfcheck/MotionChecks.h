// SPDX-License-Identifier: MIT
// Check groups of the fold's motion: its mathematics, the motion gate, and the
// display pipeline from lid samples to frames.
#pragma once

#include "selfcheck/Reporter.h"

namespace orvane {

void foldMathChecks(Reporter& r);
void gateChecks(Reporter& r);
void smoothChecks(Reporter& r);

} // namespace orvane
