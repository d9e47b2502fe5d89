// SPDX-License-Identifier: MIT
// "--selftest": every check group over the program's own components, one line
// a check, then the verdict.
#pragma once

namespace orvane::SelfTest {

// Returns the exit status: 0 when every check passed or was skipped.
int run();

} // namespace orvane::SelfTest
