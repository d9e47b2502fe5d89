// SPDX-License-Identifier: MIT
#include "selfcheck/SelfChecks.h"

namespace orvane {

std::vector<SelfCheckGroup> pureSelfCheckGroups() {
    return {};
}

} // namespace orvane
