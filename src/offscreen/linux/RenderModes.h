// SPDX-License-Identifier: MIT
// The --render and --render-sheet tools: the fold of the sample desktop as PNG files.
#pragma once

#include <string>
#include <vector>

namespace orvane::RenderModes {

// Each returns the process exit status: 0 done, 1 the work failed, 2 bad usage.
int runRender(const std::vector<std::string>& arguments);
int runSheet(const std::vector<std::string>& arguments);

// A number the way the tools print it: shortest exact form, always with a
// point or an exponent (60 prints as 60.0).
std::string decimalText(double value);

} // namespace orvane::RenderModes
