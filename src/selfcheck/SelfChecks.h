// SPDX-License-Identifier: MIT
// The self-check's groups that need nothing but the pure core. Each group
// builds what it checks over doubles and throwaway stores, and reports one
// line a check.
#pragma once

#include "selfcheck/Reporter.h"

#include <string_view>
#include <vector>

namespace orvane {

struct SelfCheckGroup {
    std::string_view name; // the prefix of its checks, for a failure of the group itself
    void (*run)(Reporter&);
};

// In the order they run.
std::vector<SelfCheckGroup> pureSelfCheckGroups();

} // namespace orvane
